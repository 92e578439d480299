#pragma once

// A saved window placement: left, top, width, height in pixels.
struct CPlacement
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    // The main window's placement is saved on close only when left and top lie in -4..1999 and width and
    // height in 1..1999; a minimised or off-screen window leaves the previous placement in place.
    bool IsSavable() const
    {
        return left >= -4 && left <= 1999 && top >= -4 && top <= 1999 && width >= 1 && width <= 1999 &&
               height >= 1 && height <= 1999;
    }
};
