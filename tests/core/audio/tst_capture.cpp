// Test labels: threads
// Capture, the session recorder and the player against ALSA's file plugin: the capture device reads
// known samples from a file, the playback device appends what it plays to another.
#include "core/Exceptions.h"
#include "core/audio/Phonetics.h"
#include "core/audio/Recordings.h"
#include "core/audio/SessionRecorder.h"
#include "core/audio/SoundPlayer.h"
#include "core/audio/Wave.h"
#include "core/audio/WaveFileWriter.h"
#include "core/audio/WaveIn.h"
#include "support/AlsaFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QThread>
#include <QtEndian>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace TestSupport;

namespace {

QByteArray ResourceData(const QString& name)
{
    CWave wave;
    wave.Load(name);
    return wave.GetBytes();
}

} // namespace

class TestCapture : public QObject
{
    Q_OBJECT

    CScratch m_home;
    QString m_in;
    QString m_played;
    bool m_stubs = false;
    // What the test device "held" has captured when the recording starts, and what it captures later
    // without waking the reader.
    static constexpr qint64 kHeldFrames = 10000;
    static constexpr qint64 kLaterFrames = 3000;

    // Feeds these samples to the capture device.
    void Feed(const QByteArray& samples) { WriteFile(m_in, samples); }
    QByteArray Played() { return QFile::exists(m_played) ? ReadFile(m_played) : QByteArray(); }

    CSessionRecorder::COptions Options(const QString& folder, qint64 frameLimit)
    {
        CSessionRecorder::COptions o;
        o.device = "feed";
        o.folder = folder;
        o.frameLimit = frameLimit;
        o.progressMs = 20;
        return o;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // ALSA reads ~/.asoundrc once, at its first use in the process.
        m_in = m_home.File("in.raw");
        m_played = m_home.File("played.raw");
        WriteAsoundrc(m_home.Path(), m_in, m_played);
        m_stubs = AddStubDevices(m_home.Path(), kHeldFrames, kLaterFrames);
        qputenv("HOME", m_home.Path().toUtf8());
    }

    void init() { QFile::remove(m_played); }

    void waveInCapturesFedSamples()
    {
        const QByteArray fed = TestSamples(44100);
        Feed(fed);
        CWaveIn in;
        QVERIFY(in.Close()); // never opened
        in.SetFormat(WaveCapture::Format());
        in.SetDevice(CWaveDevice("feed"));
        QVERIFY2(in.Open(), qPrintable(in.GetErrorText()));
        QVERIFY(in.Record(4096));
        // Collect at least the fed second, then stop.
        QByteArray got;
        while (got.size() < fed.size()) {
            auto block = in.TakeBlock(1000);
            QVERIFY(block);
            got += QByteArray(block->GetData(), block->GetCount() * 2);
            in.GiveBack(std::move(block));
        }
        QVERIFY(in.Close());
        QCOMPARE(got.left(fed.size()), fed);
        QCOMPARE(in.GetErrorText(), QString());
    }

    void waveInOnMissingDevice()
    {
        CWaveIn in;
        in.SetDevice(CWaveDevice("no_such_device"));
        QVERIFY(!in.Open());
        QVERIFY(in.GetErrorText().contains("no_such_device"));
        QVERIFY(!in.Record(4096));
        QVERIFY(in.Close());
        CWave wave;
        wave.BuildFormat(1, 44100, 16);
        CWaveDevice device("no_such_device");
        QVERIFY(!device.QueryInputFormat(wave));
        QVERIFY(CWaveDevice("feed").QueryInputFormat(wave));
    }

    // The file holds exactly the fed samples after its 44-byte header, in as many parts as the size
    // limit asks for, each a valid WAV file.
    void recorderWritesFedSamples_data()
    {
        QTest::addColumn<qint64>("frames");
        QTest::addColumn<qint64>("maxFileBytes");
        QTest::addColumn<int>("parts");
        QTest::newRow("one file") << qint64(3 * 44100) << CSessionRecorder::kMaxFileBytes << 1;
        QTest::newRow("odd length") << qint64(44100 + 777) << CSessionRecorder::kMaxFileBytes << 1;
        QTest::newRow("rolled over") << qint64(100000) << qint64(44 + 80000) << 3;
        QTest::newRow("rolled over at a block edge") << qint64(8192) << qint64(44 + 8192) << 2;
    }

    void recorderWritesFedSamples()
    {
        QFETCH(qint64, frames);
        QFETCH(qint64, maxFileBytes);
        CScratch s;
        const QByteArray fed = TestSamples(frames);
        Feed(fed);
        CSessionRecorder recorder;
        QSignalSpy ended(&recorder, &CSessionRecorder::ended);
        QSignalSpy progress(&recorder, &CSessionRecorder::progress);
        CSessionRecorder::COptions o = Options(s.Path(), frames);
        o.maxFileBytes = maxFileBytes;
        QVERIFY2(recorder.Start(o), qPrintable(recorder.GetErrorText()));
        QVERIFY(recorder.IsRecording());
        QVERIFY(ended.wait(20000));
        QCOMPARE(ended.first().first().toString(), QString());
        QVERIFY(!recorder.IsRecording());
        QCOMPARE(recorder.GetFrames(), frames);
        QVERIFY(!progress.isEmpty());
        int loudest = 0;
        for (const auto& p : progress)
            loudest = qMax(loudest, p.at(1).toInt());
        QVERIFY(loudest > 50); // a loud input shows
        const QStringList files = recorder.GetFiles();
        QTEST(int(files.size()), "parts");
        QByteArray all;
        for (const QString& f : files) {
            QVERIFY(QFileInfo(f).size() <= maxFileBytes);
            CWave wave;
            wave.Load(f);
            all += wave.GetBytes();
        }
        QCOMPARE(all.size(), fed.size());
        QVERIFY(all == fed);
        // Marked until dealt with, and not offered while its recorder holds it.
        QVERIFY(QFile::exists(recorder.GetMarker()));
        QVERIFY(Recordings::RecoverLeftOver(s.Path()).isEmpty());
        const QString marker = recorder.GetMarker();
        recorder.Release();
        QVERIFY(!QFile::exists(marker));
    }

    // A recording whose program died: found by the next start, its header made to count every frame.
    void leftOverRecordingIsRecovered()
    {
        CScratch s;
        const QByteArray fed = TestSamples(3000);
        for (const QString& base : {QStringLiteral("recording-1"), QStringLiteral("recording-2")}) {
            WriteFile(s.File(base + ".recording"), {});
            {
                CWaveFileWriter w(s.File(base + ".wav"), WaveCapture::Format());
                w.Append(fed.constData(), fed.size());
            }
            // As the crash left it: the header from an early checkpoint.
            QFile f(s.File(base + ".wav"));
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(40);
            f.write(QByteArray::fromHex("10000000"));
        }
        WriteFile(s.File("recording-1-2.wav"), CWave::Header(WaveCapture::Format(), 0) + fed.left(1001));
        // recording-2 still has its recorder.
        const int held = ::open(QFile::encodeName(s.File("recording-2.recording")).constData(), O_RDONLY);
        QVERIFY(::flock(held, LOCK_EX) == 0);

        const QList<Recordings::CRecording> left = Recordings::RecoverLeftOver(s.Path());
        ::close(held);
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].files, (QStringList{s.File("recording-1.wav"), s.File("recording-1-2.wav")}));
        QCOMPARE(left[0].frames, 3000 + 500);
        CWave wave;
        wave.Load(left[0].files[0]);
        QCOMPARE(wave.GetBytes(), fed);
        Recordings::Dismiss(left[0].marker);
        QCOMPARE(Recordings::RecoverLeftOver(s.Path()).size(), 1); // now recording-2's turn
    }

    // Stopping never loses what the device has captured and still holds (the part of a period that the
    // capture loop waits to see grow): the file ends with the device's last frame.
    void aStopKeepsWhatTheDeviceHolds()
    {
        if (!m_stubs)
            QSKIP("the test sound device was not built");
        CScratch s;
        CSessionRecorder recorder;
        CSessionRecorder::COptions o = Options(s.Path(), 0);
        o.device = "held";
        QVERIFY2(recorder.Start(o), qPrintable(recorder.GetErrorText()));
        // The whole blocks the device had are written (the rest waits in the capture loop's block); the loop
        // waits for more.
        const qint64 blockFrames = o.blockBytes / 2;
        QTRY_VERIFY_WITH_TIMEOUT(recorder.GetFrames() >= kHeldFrames / blockFrames * blockFrames, 15000);
        // The device captures some more, then the operator stops.
        WriteFile(m_home.File("more"), "");
        QVERIFY2(recorder.Stop(), qPrintable(recorder.GetErrorText()));
        QCOMPARE(recorder.GetFrames(), kHeldFrames + kLaterFrames);
        const QByteArray data = WavData(recorder.GetFiles().value(0));
        QCOMPARE(data.size(), (kHeldFrames + kLaterFrames) * 2);
        for (qint64 i = 0; i < kHeldFrames + kLaterFrames; ++i)
            QCOMPARE(qFromLittleEndian<qint16>(data.constData() + 2 * i), qint16(i % 32768));
    }

    // A playback device another program holds, or whose driver hangs, costs a sound, never the window: the
    // request ends at once in silence, and the player can always be destroyed.
    void aDeviceThatDoesNotAnswerNeverHangsThePlayer_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("says");
        QTest::newRow("held by another program") << "busy"
                                                 << "busy";
        QTest::newRow("a driver that hangs in close") << "stuck"
                                                      << "";
    }
    void aDeviceThatDoesNotAnswerNeverHangsThePlayer()
    {
        QFETCH(QString, device);
        QFETCH(QString, says);
        if (!m_stubs)
            QSKIP("the test sound device was not built");
        const QString release = m_home.File("release");
        QFile::remove(release);
        CScratch s;
        const QByteArray samples = TestSamples(4410, 5);
        WriteFile(s.File("beep.wav"),
                  CWave::Header(WaveCapture::Format(), quint32(samples.size())) + samples);
        auto player = std::make_unique<CSoundPlayer>(device);
        player->Play(s.File("beep.wav"));
        if (!says.isEmpty()) {
            // (The bounds below only keep a failing test from hanging.)
            const bool idle = player->WaitIdle(20000);
            WriteFile(release, "");
            QVERIFY(idle);
            QVERIFY2(player->GetLastError().contains(says, Qt::CaseInsensitive),
                     qPrintable(player->GetLastError()));
        }
        // Closing the window destroys the player, whatever its thread is caught in.
        std::atomic<bool> gone{false};
        std::thread closing([&] {
            player.reset();
            gone = true;
        });
        QElapsedTimer t;
        t.start();
        while (!gone && t.elapsed() < 20000)
            QThread::msleep(10);
        const bool returned = gone;
        WriteFile(release, "");
        closing.join();
        QVERIFY(returned);
    }

    // Phonics on W4ABC: Whisky, 4, Alpha, Bravo, Charlie, in that order, each whole.
    void phonicsPlaysEachCharactersSound()
    {
        CSoundPlayer player("played");
        QElapsedTimer t;
        t.start();
        player.PlaySequence(Phonetics::Sounds("W4ABC"), Phonetics::kIntervalMs);
        QVERIFY(player.IsPlaying());
        QVERIFY(player.WaitIdle(10000));
        QVERIFY(t.elapsed() >= 4 * 600);
        QCOMPARE(player.GetLastError(), QString());
        QByteArray expected;
        for (const char* c : {"W", "4", "A", "B", "C"})
            expected += ResourceData(QStringLiteral(":/sounds/%1.wav").arg(c));
        QVERIFY(Played() == expected);
    }

    // A second request restarts: what the first had not reached is never played.
    void newRequestCutsOff()
    {
        CSoundPlayer player("played");
        player.PlaySequence(Phonetics::Sounds("AB"), Phonetics::kIntervalMs);
        player.PlaySequence(Phonetics::Sounds("C"), Phonetics::kIntervalMs);
        QVERIFY(player.WaitIdle(10000));
        const QByteArray played = Played();
        const QByteArray c = ResourceData(":/sounds/C.wav");
        QVERIFY(played.endsWith(c));
        QVERIFY(!played.contains(ResourceData(":/sounds/B.wav")));
    }

    // Hear Call plays the station's own file, whatever its chunks; a missing file plays nothing.
    void hearCallPlaysTheStationsFile()
    {
        CScratch data;
        QDir(data.Path()).mkpath("CALLS");
        const QByteArray samples = TestSamples(5000, 3);
        QByteArray file = CWave::Header(WaveCapture::Format(), quint32(samples.size())) + samples;
        // A LIST chunk as editors write it, between format and data.
        file.insert(36, QByteArray("LIST\x08\0\0\0INFOabcd", 16));
        WriteFile(data.File("CALLS/ve3_w4abc.wav"), file);
        CSoundPlayer player("played");
        const QString path = Phonetics::CallRecording(data.Path(), "VE3/W4ABC");
        QVERIFY(!path.isEmpty());
        player.Play(path);
        QVERIFY(player.WaitIdle(10000));
        QCOMPARE(player.GetLastError(), QString());
        QVERIFY(Played() == samples);

        QFile::remove(m_played);
        player.Play(data.File("CALLS/N0NE.wav"));
        QVERIFY(player.WaitIdle(10000));
        QVERIFY(player.GetLastError().contains("N0NE.wav"));
        QVERIFY(Played().isEmpty());

        CSoundPlayer nowhere("no_such_device");
        nowhere.Play(":/sounds/A.wav");
        QVERIFY(nowhere.WaitIdle(10000));
        QVERIFY(nowhere.GetLastError().contains("no_such_device"));
    }
};

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
