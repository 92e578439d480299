#include "core/audio/Recordings.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/Settings.h"
#include "core/audio/WaveFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Recordings {

namespace {

const QString kMarkerSuffix = QStringLiteral(".recording");

// True when no process holds the marker.
bool Abandoned(const QString& marker)
{
    const int fd = ::open(QFile::encodeName(marker).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

void CopyFile(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(from, in.errorString()), from);
    CAtomicFile out(to);
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty())
        out.Write(chunk);
    if (in.error() != QFileDevice::NoError)
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(from, in.errorString()), from);
    out.Commit();
}

} // namespace

QString Folder(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("Recordings"));
}

QStringList FilesOf(const QString& marker)
{
    const QFileInfo info(marker);
    const QString base = info.fileName().chopped(kMarkerSuffix.size());
    QStringList files;
    const QDir dir = info.dir();
    if (dir.exists(base + QStringLiteral(".wav")))
        files << dir.filePath(base + QStringLiteral(".wav"));
    for (int part = 2; dir.exists(QStringLiteral("%1-%2.wav").arg(base).arg(part)); ++part)
        files << dir.filePath(QStringLiteral("%1-%2.wav").arg(base).arg(part));
    return files;
}

QList<CRecording> RecoverLeftOver(const QString& folder)
{
    QList<CRecording> found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QLatin1Char('*') + kMarkerSuffix}, QDir::Files, QDir::Name)) {
        const QString marker = dir.filePath(name);
        if (!Abandoned(marker))
            continue;
        CRecording recording;
        recording.marker = marker;
        for (const QString& file : FilesOf(marker)) {
            try {
                recording.frames += CWaveFileWriter::Repair(file);
                recording.files << file;
            } catch (const CFileException&) {
                break; // the parts after a damaged one would leave a gap
            }
        }
        if (recording.files.isEmpty())
            Dismiss(marker); // nothing was recorded
        else
            found << recording;
    }
    return found;
}

void Dismiss(const QString& marker)
{
    QFile::remove(marker);
}

QString PartName(const QString& target, int part)
{
    if (part <= 1)
        return target;
    const QFileInfo info(target);
    QString stem = info.fileName();
    QString suffix;
    if (stem.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive)) {
        suffix = stem.right(4);
        stem.chop(4);
    }
    return info.dir().filePath(QStringLiteral("%1-%2%3").arg(stem).arg(part).arg(suffix));
}

QStringList MoveTo(const QStringList& files, const QString& target)
{
    QStringList moved;
    for (int i = 0; i < files.size(); ++i) {
        const QString to = PartName(target, i + 1);
        if (QFileInfo(files[i]) == QFileInfo(to)) {
            moved << to;
            continue;
        }
        if (std::rename(QFile::encodeName(files[i]).constData(), QFile::encodeName(to).constData()) != 0) {
            const int error = errno;
            if (error != EXDEV)
                throw CFileException(QStringLiteral("Cannot move the recording to \"%1\": %2.")
                                         .arg(to, QString::fromLocal8Bit(std::strerror(error))),
                                     to);
            CopyFile(files[i], to);
            QFile::remove(files[i]);
        }
        moved << to;
    }
    return moved;
}

QString SuggestName(const QString& lastPath, const QDate& day)
{
    // A folder (the default names one that may not exist yet), else the last file saved.
    const QFileInfo last(lastPath);
    const bool isFolder =
        last.isDir() || (!last.exists() && !lastPath.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive));
    const QString folder = isFolder ? last.absoluteFilePath() : last.absolutePath();
    return QDir(folder).filePath(
        QStringLiteral("Net %1.wav").arg(day.toString(QStringLiteral("yyyy-MM-dd"))));
}

void Remember(CSettings& settings, const QString& savedPath)
{
    const int slash = savedPath.lastIndexOf(QLatin1Char('/'));
    settings.Set(Setting::WaveName, slash < 0 ? savedPath : savedPath.mid(slash + 1));
    settings.Set(Setting::WavePath, savedPath);
    settings.Set(Setting::WaveRemember, true);
}

} // namespace Recordings
