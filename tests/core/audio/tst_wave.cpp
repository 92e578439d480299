// WAV files: the 44-byte layout written and read back, the strict reader of that layout, the tolerant
// reader of any PCM WAV, the streaming writer and its repair, and the built-in sounds.
#include "core/Exceptions.h"
#include "core/audio/Phonetics.h"
#include "core/audio/Wave.h"
#include "core/audio/WaveFileWriter.h"
#include "core/audio/WaveReader.h"
#include "support/AlsaFiles.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QtEndian>
#include <QtTest>

using namespace TestSupport;

namespace {

QByteArray U16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray U32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray Chunk(const char* id, const QByteArray& body, qint64 claimed = -1)
{
    QByteArray c = QByteArray(id) + U32(quint32(claimed < 0 ? body.size() : claimed)) + body;
    return body.size() % 2 && claimed < 0 ? c + '\0' : c;
}

QByteArray Fmt(quint16 tag, quint16 channels, quint32 rate, quint16 align, quint16 bits, int extra = -1)
{
    QByteArray f = U16(tag) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits);
    if (extra >= 0)
        f += U16(quint16(extra)) + QByteArray(extra, '\0');
    return f;
}

QByteArray Riff(const QByteArray& chunks)
{
    return "RIFF" + U32(quint32(chunks.size() + 4)) + "WAVE" + chunks;
}

const QByteArray kFrames = TestSamples(1000);
const QByteArray kPcm = Fmt(1, 1, 44100, 2, 16);

// The extensible format chunk: 40 bytes, PCM or another sub-format.
QByteArray Extensible(quint16 subFormat)
{
    const char tail[14] = {0x00, 0x00, 0x00,       0x00, 0x10, 0x00,       char(0x80),
                           0x00, 0x00, char(0xAA), 0x00, 0x38, char(0x9B), 0x71};
    return Fmt(0xFFFE, 2, 48000, 4, 16, 22).left(18) + U16(16) + U32(3) + U16(subFormat) +
           QByteArray(tail, 14);
}

} // namespace

class TestWave : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buildFormat_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("bytesPerSecond");
        QTest::addColumn<int>("align");
        QTest::newRow("capture") << 1 << 44100 << 16 << 88200 << 2;
        QTest::newRow("stereo 8 bit") << 2 << 22050 << 8 << 44100 << 2;
        QTest::newRow("stereo 24 bit") << 2 << 48000 << 24 << 288000 << 6;
    }

    void buildFormat()
    {
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, bits);
        CWave wave;
        wave.BuildFormat(quint16(channels), quint32(rate), quint16(bits));
        QCOMPARE(int(wave.GetFormat().wFormatTag), 1);
        QTEST(int(wave.GetFormat().nAvgBytesPerSec), "bytesPerSecond");
        QTEST(int(wave.GetFormat().nBlockAlign), "align");
        QCOMPARE(wave.GetSampleCount(), 0);
    }

    void emptyRecordingIs44Bytes()
    {
        CScratch s;
        CWave wave;
        wave.BuildFormat(1, 44100, 16);
        wave.SaveToFile(s.File("empty.wav"));
        const QByteArray expected = QByteArray::fromHex("52494646"
                                                        "24000000"
                                                        "57415645666d7420"
                                                        "10000000"
                                                        "0100"
                                                        "0100"
                                                        "44ac0000"
                                                        "88580100"
                                                        "0200"
                                                        "1000"
                                                        "64617461"
                                                        "00000000");
        QCOMPARE(ReadFile(s.File("empty.wav")), expected);
        CWave back;
        back.Load(s.File("empty.wav"));
        QCOMPARE(back.GetSampleCount(), 0);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::newRow("capture") << 1 << 44100 << 16;
        QTest::newRow("stereo 8 bit") << 2 << 22050 << 8;
        QTest::newRow("24 bit") << 1 << 96000 << 24;
    }

    void roundTrip()
    {
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, bits);
        CScratch s;
        CWave wave;
        wave.BuildFormat(quint16(channels), quint32(rate), quint16(bits));
        const int align = wave.GetFormat().nBlockAlign;
        const qint64 frames = kFrames.size() / align;
        auto data = std::make_unique<char[]>(size_t(frames * align));
        memcpy(data.get(), kFrames.constData(), size_t(frames * align));
        wave.SetSamples(std::move(data), frames);
        wave.SaveToFile(s.File("a.wav"));
        QCOMPARE(QFileInfo(s.File("a.wav")).size(), 44 + frames * align);

        CWave back;
        back.Load(s.File("a.wav"));
        QVERIFY(back.GetFormat() == wave.GetFormat());
        QCOMPARE(back.GetBytes(), kFrames.left(frames * align));
        // Another program's reader agrees.
        QProcess py;
        py.start("/usr/bin/python3", {"-c",
                                      "import sys,wave; w=wave.open(sys.argv[1]); "
                                      "print(w.getnchannels(), w.getframerate(), w.getnframes())",
                                      s.File("a.wav")});
        QVERIFY(py.waitForFinished());
        QCOMPARE(QString::fromUtf8(py.readAllStandardOutput()).trimmed(),
                 QStringLiteral("%1 %2 %3").arg(channels).arg(rate).arg(frames));
    }

    // Files this program's own layout reader refuses, each with a clear reason; the wave stays as it was.
    void strictReaderRefuses_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QByteArray data = Chunk("data", kFrames);
        QTest::newRow("18-byte format chunk")
            << Riff(Chunk("fmt ", Fmt(1, 1, 44100, 2, 16, 0)) + data) << "data chunk does not follow";
        QTest::newRow("LIST before data")
            << Riff(Chunk("fmt ", kPcm) + Chunk("LIST", "INFOISFT") + data) << "data chunk does not follow";
        QTest::newRow("block alignment 0")
            << Riff(Chunk("fmt ", Fmt(1, 1, 44100, 0, 16)) + data) << "block alignment is 0";
        QTest::newRow("size past the end") << Riff(Chunk("fmt ", kPcm) + Chunk("data", kFrames, 0x7FFFFFF0))
                                           << "claims 2147483632 bytes but only 2000 follow";
        QTest::newRow("absurd rate") << Riff(Chunk("fmt ", Fmt(1, 1, 4000000000u, 2, 16)) + data)
                                     << "out of range";
        QTest::newRow("rate 0") << Riff(Chunk("fmt ", Fmt(1, 1, 0, 2, 16)) + data) << "out of range";
        QTest::newRow("alignment lies")
            << Riff(Chunk("fmt ", Fmt(1, 2, 44100, 2, 16)) + data) << "does not fit";
        QTest::newRow("not RIFF") << QByteArray("RIFX") + Riff(kPcm).mid(4) << "RIFF";
        QTest::newRow("cut in the header") << Riff(Chunk("fmt ", kPcm)).left(30) << "ends inside its header";
    }

    void strictReaderRefuses()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        CScratch s;
        WriteFile(s.File("bad.wav"), file);
        CWave wave;
        wave.BuildFormat(2, 8000, 8);
        try {
            wave.Load(s.File("bad.wav"));
            QFAIL("accepted");
        } catch (const CFileException& e) {
            QVERIFY2(e.Message().contains(reason), qPrintable(e.Message()));
            QCOMPARE(e.Path(), s.File("bad.wav"));
        }
        QCOMPARE(int(wave.GetFormat().nSamplesPerSec), 8000);
    }

    // What users record: other chunks, longer format chunks, the extensible format.
    void tolerantReaderPlays_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("frames");
        const QByteArray data = Chunk("data", kFrames);
        QTest::newRow("own layout") << Riff(Chunk("fmt ", kPcm) + data) << 2 << 1000;
        QTest::newRow("LIST first") << Riff(Chunk("LIST", "INFOISFT\x05\0\0\0Lavf") + Chunk("fmt ", kPcm) +
                                            data)
                                    << 2 << 1000;
        QTest::newRow("18-byte format")
            << Riff(Chunk("fmt ", Fmt(1, 1, 44100, 2, 16, 0)) + data) << 2 << 1000;
        QTest::newRow("odd chunk padded")
            << Riff(Chunk("fmt ", kPcm) + Chunk("junk", "abc") + data) << 2 << 1000;
        QTest::newRow("chunks after data")
            << Riff(Chunk("fmt ", kPcm) + data + Chunk("LIST", "INFO")) << 2 << 1000;
        QTest::newRow("extensible PCM") << Riff(Chunk("fmt ", Extensible(1)) + data) << 4 << 500;
        QTest::newRow("half a frame at the end")
            << Riff(Chunk("fmt ", kPcm) + Chunk("data", kFrames.left(1001))) << 2 << 500;
        QTest::newRow("RIFF size wrong")
            << QByteArray("RIFF\xff\xff\xff\xff") + Riff(Chunk("fmt ", kPcm) + data).mid(8) << 2 << 1000;
    }

    void tolerantReaderPlays()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, align);
        QFETCH(int, frames);
        CScratch s;
        WriteFile(s.File("user.wav"), file);
        CWaveReader reader(s.File("user.wav"));
        QCOMPARE(int(reader.Format().nBlockAlign), align);
        QCOMPARE(reader.FrameCount(), frames);
        QByteArray got(frames * align + 64, '\0');
        qint64 read = 0;
        while (qint64 n = reader.Read(got.data() + read * align, 333))
            read += n;
        QCOMPARE(read, frames);
        QCOMPARE(got.left(frames * align), kFrames.left(frames * align));
    }

    void tolerantReaderRefuses_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QByteArray data = Chunk("data", kFrames);
        QTest::newRow("block alignment 0")
            << Riff(Chunk("fmt ", Fmt(1, 1, 44100, 0, 16)) + data) << "block alignment is 0";
        QTest::newRow("data past the end")
            << Riff(Chunk("fmt ", kPcm) + Chunk("data", kFrames, 0xFFFFFFFFu)) << "claims 4294967295 bytes";
        QTest::newRow("chunk past the end")
            << Riff(Chunk("fmt ", kPcm) + Chunk("LIST", "x", 0x10000000) + data) << "runs past the end";
        QTest::newRow("format past the end") << Riff(Chunk("fmt ", kPcm, 0x7FFFFFFF)) << "runs past the end";
        QTest::newRow("format too short") << Riff(Chunk("fmt ", kPcm.left(14)) + data) << "only 14 bytes";
        QTest::newRow("absurd rate") << Riff(Chunk("fmt ", Fmt(1, 1, 5, 2, 16)) + data) << "out of range";
        QTest::newRow("65535 channels")
            << Riff(Chunk("fmt ", Fmt(1, 65535, 44100, 2, 16)) + data) << "channels";
        QTest::newRow("compressed") << Riff(Chunk("fmt ", Fmt(2, 1, 44100, 2, 16)) + data) << "not PCM";
        QTest::newRow("extensible float") << Riff(Chunk("fmt ", Extensible(3)) + data) << "not PCM";
        QTest::newRow("data before format") << Riff(data + Chunk("fmt ", kPcm)) << "before its format";
        QTest::newRow("no data") << Riff(Chunk("fmt ", kPcm)) << "no data chunk";
        QTest::newRow("empty") << QByteArray() << "too short";
        QTest::newRow("not WAVE") << QByteArray("RIFF\4\0\0\0AVI ", 12) << "not a RIFF WAVE";
    }

    void tolerantReaderRefuses()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        CScratch s;
        WriteFile(s.File("bad.wav"), file);
        try {
            CWaveReader reader(s.File("bad.wav"));
            QFAIL("accepted");
        } catch (const CFileException& e) {
            QVERIFY2(e.Message().contains(reason), qPrintable(e.Message()));
            QVERIFY(e.Message().contains(s.File("bad.wav")));
        }
    }

    // The streaming writer: the header on disk counts what was checkpointed; a repair counts every whole
    // frame the file holds.
    void writerCheckpointsAndRepair()
    {
        CScratch s;
        const QString path = s.File("rec.wav");
        {
            CWaveFileWriter writer(path, WaveCapture::Format());
            writer.Append(kFrames.constData(), 800);
            writer.Checkpoint();
            writer.Append(kFrames.constData() + 800, 1200);
            CWave seen;
            seen.Load(path);
            QCOMPARE(seen.GetSampleCount(), 400); // the last checkpoint's
            QVERIFY_THROWS_EXCEPTION(CFileException, CWaveFileWriter(path, WaveCapture::Format()));
            // A killed writer: leave an odd byte behind and no final header.
            QFile f(path);
            QVERIFY(f.open(QIODevice::Append));
            f.write("x", 1);
        }
        // The destructor finished the file with its own count; undo that as a crash would have.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(40);
        f.write(U32(800));
        f.close();
        QCOMPARE(CWaveFileWriter::Repair(path), 1000);
        CWave wave;
        wave.Load(path);
        QCOMPARE(wave.GetBytes(), kFrames);
        QCOMPARE(QFileInfo(path).size(), 44 + 2000);

        WriteFile(s.File("junk.wav"), "not a recording at all, long enough for a header....");
        QVERIFY_THROWS_EXCEPTION(CFileException, CWaveFileWriter::Repair(s.File("junk.wav")));
    }

    // Each digit its number, each letter its word: 36 sounds, 44.1 kHz 16-bit mono, under half a second.
    void builtInSounds_data()
    {
        QTest::addColumn<QChar>("c");
        for (char c : QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
            QTest::newRow(QByteArray(1, c).constData()) << QChar(QLatin1Char(c));
    }

    void builtInSounds()
    {
        QFETCH(QChar, c);
        const QString name = Phonetics::SoundOf(c);
        QCOMPARE(name, QStringLiteral(":/sounds/%1.wav").arg(c));
        CWave wave;
        wave.Load(name);
        QVERIFY(wave.GetFormat() == WaveCapture::Format());
        QVERIFY2(wave.GetSampleCount() > 4410 && wave.GetSampleCount() < 22050,
                 qPrintable(QString::number(wave.GetSampleCount())));
        QVERIFY(wave.GetBytes().count('\0') < wave.GetBytes().size() / 2);
        // Faded in and out: no click where a sound starts or is cut off (the last samples below -30 dBFS).
        const QByteArray bytes = wave.GetBytes();
        const auto sample = [&](qsizetype i) {
            return std::abs(int(qFromLittleEndian<qint16>(bytes.constData() + 2 * i)));
        };
        const qsizetype n = bytes.size() / 2;
        QVERIFY2(sample(0) < 328, qPrintable(QString::number(sample(0))));
        for (qsizetype i = n - 20; i < n; ++i)
            QVERIFY2(sample(i) < 1036,
                     qPrintable(QStringLiteral("%1 at %2 of %3").arg(sample(i)).arg(i).arg(n)));
    }
};

QTEST_GUILESS_MAIN(TestWave)
#include "tst_wave.moc"
