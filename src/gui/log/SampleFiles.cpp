#include "gui/log/SampleFiles.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/Settings.h"
#include "gui/log/NetpreambleDlg.h"

#include <QDir>
#include <QFile>

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
    if (settings.Get(Setting::PreambleSampleInstalled))
        return false;
    const QString target = QDir(dataFolder).filePath(QString::fromLatin1(CNetpreambleDlg::kFileName));
    bool written = false;
    if (!QFile::exists(target)) {
        const QByteArray bytes = SamplePreamble();
        // Written (not copied) so that the user's copy is an ordinary, editable file.
        try {
            if (!bytes.isEmpty()) {
                CAtomicFile::WriteFile(target, bytes);
                written = true;
            }
        } catch (const CFileException&) {
        }
        if (!written)
            return false; // tried again on the next start
    }
    settings.Set(Setting::PreambleSampleInstalled, true);
    settings.Sync();
    return written;
}

} // namespace SampleFiles
