#include "gui/log/SampleFiles.h"

#include "core/log/LogwardenSet.h"
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

bool InstallOnFirstRun(const QString& dataFolder)
{
    const QDir dir(dataFolder);
    const QString target = dir.filePath(QString::fromLatin1(CNetpreambleDlg::kFileName));
    if (QFile::exists(dir.filePath(QString::fromLatin1(CLogwardenSet::kFileName))) || QFile::exists(target))
        return false;
    const QByteArray bytes = SamplePreamble();
    if (bytes.isEmpty())
        return false;
    // Written (not copied) so that the user's copy is an ordinary, editable file.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace SampleFiles
