#pragma once

class QWidget;

// Saved placements of dialogs: the window's outer top-left corner and its inner size.
namespace WindowPlacement {

// Moves and sizes the window, fitted to the screen it lies on: never larger than the screen's available
// area, and moved in so that it lies wholly on it. A placement that lies on no screen (a monitor since
// removed) keeps the (fitted) size but lets the window open where the desktop puts it, so it can never
// open out of reach.
void Apply(QWidget* window, int left, int top, int width, int height);

} // namespace WindowPlacement
