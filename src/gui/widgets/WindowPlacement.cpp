#include "gui/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace WindowPlacement {

void Apply(QWidget* window, int left, int top, int width, int height)
{
    // The strip along the top edge, where the window is taken to move it, must lie on a screen.
    const QRect grip(left, top, std::clamp(width, 40, 4000), 20);
    const QScreen* onScreen = nullptr;
    for (const QScreen* screen : QGuiApplication::screens())
        if (!onScreen && screen->availableGeometry().intersects(grip))
            onScreen = screen;
    const QScreen* screen = onScreen ? onScreen : QGuiApplication::primaryScreen();
    if (!screen) {
        if (width > 0 && height > 0)
            window->resize(width, height);
        window->move(left, top);
        return;
    }
    // Never larger than the screen, whatever the settings say, so that every edge can be reached.
    const QRect room = screen->availableGeometry();
    if (width > 0 && height > 0)
        window->resize(std::min(width, room.width()), std::min(height, room.height()));
    if (!onScreen)
        return;
    const QSize size = window->size();
    window->move(std::clamp(left, room.left(), std::max(room.left(), room.right() + 1 - size.width())),
                 std::clamp(top, room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
}

} // namespace WindowPlacement
