#include "gui/log/SampleFiles.h"

#include "core/app/Settings.h"
#include "gui/log/NetpreambleDlg.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace SampleFiles {

QByteArray SamplePreamble()
{
    QFile sample(QStringLiteral(":/samples/preamble.rtf"));
    if (!sample.open(QIODevice::ReadOnly))
        return {};
    return sample.readAll();
}

bool InstallOnFirstRun(const QString& dataFolder, CSettings& settings)
{
    if (settings.GetInt(Setting::PreambleSampleInstalled) != 0)
        return false;
    const QString target = QDir(dataFolder).filePath(QString::fromLatin1(CNetpreambleDlg::kFileName));
    bool written = false;
    if (!QFile::exists(target)) {
        const QByteArray bytes = SamplePreamble();
        // Written (not copied) so that the user's copy is an ordinary, editable file.
        QSaveFile file(target);
        written = !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                  file.commit();
        if (!written)
            return false; // tried again on the next start
    }
    settings.SetInt(Setting::PreambleSampleInstalled, 1);
    settings.Sync();
    return written;
}

} // namespace SampleFiles
