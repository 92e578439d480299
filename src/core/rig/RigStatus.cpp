#include "core/rig/RigStatus.h"

QString CRigStatus::Text() const
{
    if (!configured)
        return QStringLiteral("Rig: none");
    if (!connected)
        return QStringLiteral("Rig: not answering");
    if (!error.isEmpty())
        return QStringLiteral("Rig: %1").arg(error);
    QString text = QStringLiteral("Rig: %1 MHz").arg(double(frequencyHz) / 1e6, 0, 'f', 3);
    if (!mode.isEmpty())
        text += QLatin1Char(' ') + mode;
    return text;
}
