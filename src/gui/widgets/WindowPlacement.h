#pragma once

class QWidget;

// Saved placements of dialogs: the window's outer top-left corner and its inner size.
namespace WindowPlacement {

// Moves and sizes the window. A placement that lies on no screen (a monitor since removed) keeps the
// size but lets the window open where the desktop puts it, so it can never open out of reach.
void Apply(QWidget* window, int left, int top, int width, int height);

} // namespace WindowPlacement
