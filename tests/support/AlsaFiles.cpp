#include "support/AlsaFiles.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QtEndian>
#include <cmath>

namespace TestSupport {

void WriteAsoundrc(const QString& home, const QString& infile, const QString& outfile)
{
    WriteFile(home + QStringLiteral("/.asoundrc"),
              QStringLiteral("pcm.feed {\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
                             "  infile \"%1\"\n  format \"raw\"\n}\n"
                             "pcm.played {\n  type file\n  slave.pcm \"null\"\n  file \"|cat >>'%2'\"\n"
                             "  format \"raw\"\n}\n")
                  .arg(infile, outfile)
                  .toUtf8());
}

bool AddStubDevices(const QString& home, qint64 heldFrames, qint64 laterFrames)
{
    const QString lib = qEnvironmentVariable("LOGWARDEN_ALSA_STUB");
    if (lib.isEmpty() || !QFile::exists(lib))
        return false;
    QFile rc(home + QStringLiteral("/.asoundrc"));
    if (!rc.open(QIODevice::Append))
        return false;
    rc.write(QStringLiteral("pcm_type.lwstub {\n  lib \"%1\"\n}\n"
                            "pcm.held {\n  type lwstub\n  frames %2\n  later %3\n  more \"%4/more\"\n}\n"
                            "pcm.busy {\n  type lwstub\n  busy \"%4/release\"\n}\n"
                            "pcm.stuck {\n  type lwstub\n  stuck \"%4/release\"\n}\n")
                 .arg(lib)
                 .arg(heldFrames)
                 .arg(laterFrames)
                 .arg(home)
                 .toUtf8());
    return true;
}

QByteArray TestSamples(qint64 frames, int seed)
{
    QByteArray bytes(frames * 2, '\0');
    for (qint64 i = 0; i < frames; ++i) {
        // Two tones and a counter, so that a shifted or repeated block shows.
        const double v =
            9000 * std::sin(double(i) * 0.031 * seed) + 4000 * std::sin(double(i) * 0.0071) + (i % 97);
        qToLittleEndian<qint16>(qint16(v), bytes.data() + 2 * i);
    }
    return bytes;
}

QByteArray WavData(const QString& path)
{
    return ReadFile(path).mid(44);
}

} // namespace TestSupport
