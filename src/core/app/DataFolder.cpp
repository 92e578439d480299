#include "core/app/DataFolder.h"

#include "core/Exceptions.h"

#include <QDir>
#include <QFileInfo>

namespace DataFolder {

QString Resolve(const QStringList& arguments)
{
    QString folder;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--data-dir") && i + 1 < arguments.size()) {
            folder = arguments[i + 1];
            break;
        }
        if (arg.startsWith(QLatin1String("--data-dir="))) {
            folder = arg.mid(11);
            break;
        }
    }
    if (folder.isEmpty())
        folder = QString::fromLocal8Bit(qgetenv("LOGWARDEN_DATA_DIR"));
    if (folder.isEmpty()) {
        QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
        if (data.isEmpty() || !QDir::isAbsolutePath(data))
            data = QDir::homePath() + QStringLiteral("/.local/share");
        folder = data + QStringLiteral("/logwarden");
    }
    return QFileInfo(folder).absoluteFilePath();
}

void Enter(const QString& folder)
{
    if (!QDir().mkpath(folder))
        throw CFileException(QStringLiteral("Cannot create the data folder \"%1\".").arg(folder), folder);
    if (!QDir::setCurrent(folder))
        throw CFileException(QStringLiteral("Cannot enter the data folder \"%1\".").arg(folder), folder);
}

const QStringList& ProgramFileNames()
{
    static const QStringList kNames = {
        QStringLiteral("Logwarden-97.db"),
        QStringLiteral("FCC97.db"),
        QStringLiteral("QRZ97.db"),
        QStringLiteral("l_amat.zip"),
        QStringLiteral("qrz_csv_111016.zip"),
        QStringLiteral("AM.dat"),
        QStringLiteral("EN.dat"),
        QStringLiteral("HD.dat"),
        QStringLiteral("NetLog.html"),
        QStringLiteral("QrzSessionKey.xml"),
        QStringLiteral("QrzCallData.xml"),
        QStringLiteral("preamble.rtf"),
    };
    return kNames;
}

} // namespace DataFolder
