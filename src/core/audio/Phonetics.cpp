#include "core/audio/Phonetics.h"

#include <QDir>
#include <QFileInfo>

// The sounds are compiled into the core library; a static library's resources must be named to be linked.
static void InitSoundResources()
{
    Q_INIT_RESOURCE(sounds);
}

namespace {

const char* const kWords[26] = {"Alpha",  "Bravo",  "Charlie", "Delta",  "Echo",   "Foxtrot", "Golf",
                                "Hotel",  "India",  "Juliet",  "Kilo",   "Lima",   "Mike",    "November",
                                "Oscar",  "Papa",   "Quebec",  "Romeo",  "Sierra", "Tango",   "Uniform",
                                "Victor", "Whisky", "X-ray",   "Yankee", "Zulu"};

void InitSounds()
{
    static const bool done = [] {
        InitSoundResources();
        return true;
    }();
    (void)done;
}

// The entry of folder named name, compared without regard to case; the exact name is preferred.
QString FindNoCase(const QDir& folder, const QString& name, QDir::Filters filters)
{
    if (QFileInfo(folder.filePath(name)).exists())
        return folder.filePath(name);
    for (const QString& entry : folder.entryList(filters | QDir::Hidden | QDir::NoDotAndDotDot))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    return {};
}

} // namespace

namespace Phonetics {

QString Word(QChar letter)
{
    if (letter < QLatin1Char('A') || letter > QLatin1Char('Z'))
        return {};
    return QString::fromLatin1(kWords[letter.unicode() - 'A']);
}

QString Line(const QString& text)
{
    QStringList pieces;
    for (const QChar c : text) {
        const QString word = Word(c);
        pieces << (word.isEmpty() ? QString(c) : word);
    }
    return pieces.join(QStringLiteral(" - "));
}

QString SoundOf(QChar c)
{
    InitSounds();
    const QChar upper = c.toUpper();
    if ((upper >= QLatin1Char('A') && upper <= QLatin1Char('Z')) ||
        (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
        return QStringLiteral(":/sounds/%1.wav").arg(upper);
    return {};
}

QStringList Sounds(const QString& call)
{
    QStringList sounds;
    for (const QChar c : call)
        sounds << SoundOf(c);
    return sounds;
}

QString CallRecording(const QString& dataFolder, const QString& call)
{
    if (call.isEmpty())
        return {};
    QString name = call;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString folder = FindNoCase(QDir(dataFolder), QStringLiteral("CALLS"), QDir::Dirs);
    if (folder.isEmpty())
        return {};
    const QString file = FindNoCase(QDir(folder), name + QStringLiteral(".wav"), QDir::Files);
    return !file.isEmpty() && QFileInfo(file).isFile() ? file : QString();
}

} // namespace Phonetics
