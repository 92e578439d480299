#include "gui/widgets/Icons.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace Icons {

namespace {

// A small calendar sheet: a coloured header band over a white page.
QPixmap CalendarSheet(const QColor& band, bool selected)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(selected ? QColor(255, 255, 210) : Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, band);
    p.setPen(QColor(120, 120, 120));
    for (int y = 8; y <= 12; y += 2)
        p.drawLine(3, y, 12, y);
    return pm;
}

} // namespace

QIcon DayIcon(Day kind)
{
    QColor band;
    switch (kind) {
    case Day::Past:
        band = QColor(140, 140, 140);
        break;
    case Day::Today:
        band = QColor(200, 30, 30);
        break;
    case Day::Future:
        band = QColor(40, 90, 200);
        break;
    }
    QIcon icon;
    icon.addPixmap(CalendarSheet(band, false), QIcon::Normal);
    icon.addPixmap(CalendarSheet(band, true), QIcon::Selected);
    return icon;
}

QIcon AppIcon()
{
    // The pictures installed into the desktop's icon theme, compiled in so that a build run from its
    // folder shows the same icon.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/" LOGWARDEN_APP_ID ".png").arg(size),
                     QSize(size, size));
    return icon;
}

QIcon Theme(const char* name, int standardPixmap)
{
    const QIcon fallback =
        standardPixmap >= 0
            ? QApplication::style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardPixmap))
            : QIcon();
    return QIcon::fromTheme(QString::fromLatin1(name), fallback);
}

} // namespace Icons
