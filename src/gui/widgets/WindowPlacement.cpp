#include "gui/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace WindowPlacement {

void Apply(QWidget* window, int left, int top, int width, int height)
{
    if (width > 0 && height > 0)
        window->resize(width, height);
    // The strip along the top edge, where the window is taken to move it, must lie on a screen.
    const QRect grip(left, top, std::max(width, 40), 20);
    bool visible = false;
    for (const QScreen* screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(grip);
    if (visible || QGuiApplication::screens().isEmpty())
        window->move(left, top);
}

} // namespace WindowPlacement
