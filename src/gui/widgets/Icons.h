#pragma once

#include <QIcon>

// The program's icons: drawn here so that they look the same on every desktop, or taken from the
// desktop's icon theme with a drawn fallback.
namespace Icons {

enum class Day
{
    Past,
    Today,
    Future
};
QIcon DayIcon(Day kind);
QIcon AppIcon();
// A tool-bar icon from the freedesktop theme name, with the style's own icon as fallback.
QIcon Theme(const char* name, int standardPixmap);

} // namespace Icons
