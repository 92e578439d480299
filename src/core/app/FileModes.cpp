#include "core/app/FileModes.h"

#include <QFile>

namespace FileModes {

unsigned ProcessUmask()
{
    static const unsigned mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            while (!status.atEnd()) {
                const QByteArray line = status.readLine();
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const unsigned value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        return value;
                }
            }
        }
        return 022u;
    }();
    return mask;
}

} // namespace FileModes
