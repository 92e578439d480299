// logwarden-cli record and spell against ALSA's file plugin (HOME's own .asoundrc): what is recorded is
// exactly what was fed, a stop signal or a kill leaves a playable file, and spell speaks the sounds.
#include "core/audio/Phonetics.h"
#include "core/audio/Recordings.h"
#include "core/audio/Wave.h"
#include "support/AlsaFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QtEndian>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// A home with its .asoundrc, settings and data folder.
struct CAudioHome
{
    CScratch s;
    CAudioHome() { WriteAsoundrc(s.Path(), s.File("in.raw"), s.File("played.raw")); }
    QString File(const QString& name) const { return s.File(name); }
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", s.Path());
        env.insert("XDG_CONFIG_HOME", s.File("config"));
        env.insert("LOGWARDEN_DATA_DIR", s.File("data"));
        return env;
    }
    QList<QPair<QString, QString>> Variables() const
    {
        return {{"HOME", s.Path()},
                {"XDG_CONFIG_HOME", s.File("config")},
                {"LOGWARDEN_DATA_DIR", s.File("data")}};
    }
    QString Recordings() const { return ::Recordings::Folder(s.File("data")); }
};

QStringList WavsIn(const QString& folder)
{
    return QDir(folder).entryList({"*.wav"}, QDir::Files, QDir::Name);
}

// A capture device that delivers these samples and then waits for more, as a sound card does: the
// feed is a pipe big enough to hold them all, kept open by the test.
int FeedThroughPipe(const QString& fifo, const QByteArray& samples)
{
    if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) != 0)
        return -1;
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::fcntl(fd, F_SETPIPE_SZ, 1 << 20) < samples.size() ||
        ::write(fd, samples.constData(), size_t(samples.size())) != samples.size())
        return -1;
    return fd;
}

quint32 HeaderDataSize(const QString& path)
{
    const QByteArray h = ReadFile(path);
    return h.size() >= 44 ? qFromLittleEndian<quint32>(h.constData() + 40) : 0;
}

} // namespace

class TestAudioCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordWritesExactlyTheFedSamples_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<qint64>("frames");
        QTest::newRow("two seconds") << "2" << qint64(88200);
        QTest::newRow("half a second") << "0.5" << qint64(22050);
    }

    void recordWritesExactlyTheFedSamples()
    {
        QFETCH(QString, seconds);
        QFETCH(qint64, frames);
        CAudioHome home;
        const QByteArray fed = TestSamples(frames);
        WriteFile(home.File("in.raw"), fed);
        const CCliRun r =
            RunCli({"record", "--out", home.File("net.wav"), "--seconds", seconds, "--device", "feed"},
                   home.Variables());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.err.contains("Recorded " + QString::number(double(frames) / 44100, 'f', 1) + " s to"));
        const QByteArray file = ReadFile(home.File("net.wav"));
        QCOMPARE(file.left(44), CWave::Header(WaveCapture::Format(), quint32(fed.size())));
        QVERIFY(file.mid(44) == fed);
        // Moved out of the data folder, and nothing left to offer.
        QCOMPARE(QDir(home.Recordings()).entryList(QDir::Files), QStringList());
    }

    // The capture device comes from the settings when --device is not given.
    void recordUsesTheCaptureDeviceSetting()
    {
        CAudioHome home;
        WriteFile(home.File("in.raw"), TestSamples(4410));
        QDir().mkpath(home.File("config/Logwarden"));
        WriteFile(home.File("config/Logwarden/Logwarden.ini"), "[Audio]\nCaptureDevice=feed\n");
        const CCliRun r =
            RunCli({"record", "--out", home.File("a.wav"), "--seconds", "0.1"}, home.Variables());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.err.contains("Recording from \"feed\""));
        QCOMPARE(WavData(home.File("a.wav")), TestSamples(4410));
    }

    void recordRefuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no --out") << QStringList{"record", "--seconds", "1"} << 2 << "--out FILE is required";
        QTest::newRow("bad seconds") << QStringList{"record", "--out", "%1/x.wav", "--seconds", "soon"} << 2
                                     << "--seconds";
        QTest::newRow("zero seconds")
            << QStringList{"record", "--out", "%1/x.wav", "--seconds", "0"} << 2 << "--seconds";
        // Rounds to no frame at all, which would mean no limit.
        QTest::newRow("less than one frame")
            << QStringList{"record", "--out", "%1/x.wav", "--seconds", "0.00001"} << 2
            << "--seconds takes at least one frame (1/44100 s)";
        QTest::newRow("unknown option")
            << QStringList{"record", "--out", "%1/x.wav", "--rate", "8000"} << 2 << "--rate";
        QTest::newRow("existing file") << QStringList{"record", "--out", "%1/in.raw"} << 1 << "exists";
        QTest::newRow("no such folder")
            << QStringList{"record", "--out", "%1/nowhere/x.wav"} << 1 << "does not exist";
        QTest::newRow("no such device")
            << QStringList{"record", "--out", "%1/x.wav", "--device", "no_such_device"} << 1
            << "Cannot open the capture device \"no_such_device\"";
    }

    void recordRefuses()
    {
        QFETCH(QStringList, args);
        CAudioHome home;
        WriteFile(home.File("in.raw"), "x");
        for (QString& a : args)
            a = a.contains("%1") ? a.arg(home.File("")) : a;
        const CCliRun r = RunCli(args, home.Variables());
        QFETCH(QString, message);
        QTEST(r.exitCode, "exitCode");
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(home.File("x.wav")));
        QCOMPARE(WavsIn(home.Recordings()), QStringList());
    }

    // SIGINT and SIGTERM finish the file: everything fed so far is in it.
    void stopSignalFinishesTheFile_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void stopSignalFinishesTheFile()
    {
        QFETCH(int, signal);
        CAudioHome home;
        const QByteArray fed = TestSamples(2048 * 20);
        const int feed = FeedThroughPipe(home.File("in.raw"), fed);
        QVERIFY(feed >= 0);
        QProcess p;
        p.setProcessEnvironment(home.Environment());
        p.start(CliPath(), {"record", "--out", home.File("net.wav"), "--device", "feed"});
        QVERIFY(p.waitForStarted());
        // Wait until all was captured and a checkpoint has counted it.
        QTRY_VERIFY_WITH_TIMEOUT(WavsIn(home.Recordings()).size() == 1 &&
                                     HeaderDataSize(home.Recordings() + '/' +
                                                    WavsIn(home.Recordings()).first()) == quint32(fed.size()),
                                 15000);
        Signal(p, signal);
        QTest::qWait(500);
        ::close(feed); // the device's last read returns
        QVERIFY(p.waitForFinished(15000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(err));
        CWave wave;
        wave.Load(home.File("net.wav"));
        QVERIFY(wave.GetBytes().startsWith(fed));
        // At most a block and what the device holds at the stop come after: this device has no clock
        // and always holds a whole buffer (half a second), read before it closes.
        QVERIFY(wave.GetSampleCount() <= fed.size() / 2 + 2048 + WaveCapture::kRate / 2);
    }

    // Killed outright, the recording stays playable up to its last checkpoint, and the next start finds
    // it with every frame that reached the file.
    void killLeavesAPlayableFile()
    {
        CAudioHome home;
        const QByteArray fed = TestSamples(2048 * 210); // 9.75 s
        const int feed = FeedThroughPipe(home.File("in.raw"), fed);
        QVERIFY(feed >= 0);
        QProcess p;
        p.setProcessEnvironment(home.Environment());
        p.start(CliPath(), {"record", "--out", home.File("net.wav"), "--device", "feed"});
        QVERIFY(p.waitForStarted());
        QString file;
        QTRY_VERIFY_WITH_TIMEOUT(WavsIn(home.Recordings()).size() == 1 &&
                                     HeaderDataSize(file = home.Recordings() + '/' +
                                                           WavsIn(home.Recordings()).first()) >= 4 * 88200 &&
                                     QFileInfo(file).size() == 44 + fed.size(),
                                 15000);
        p.kill();
        QVERIFY(p.waitForFinished(5000));
        ::close(feed);
        QVERIFY(!QFile::exists(home.File("net.wav")));

        // Playable as it is: another program's reader takes it, and it holds the start of what was fed.
        QProcess py;
        py.start("/usr/bin/python3", {"-c",
                                      "import sys,wave; w=wave.open(sys.argv[1]); "
                                      "sys.stdout.buffer.write(w.readframes(w.getnframes()))",
                                      file});
        QVERIFY(py.waitForFinished());
        const QByteArray played = py.readAllStandardOutput();
        QVERIFY2(played.size() >= 4 * 88200, qPrintable(QString::number(played.size())));
        QVERIFY(fed.startsWith(played));

        const QList<Recordings::CRecording> left = Recordings::RecoverLeftOver(home.Recordings());
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].frames, fed.size() / 2);
        QCOMPARE(WavData(file), fed);
    }

    // A full disk stops the recording with an error; what was captured is saved all the same.
    void fullDiskKeepsTheRecording()
    {
        CAudioHome home;
        WriteFile(home.File("in.raw"), TestSamples(5 * 44100));
        QProcess p;
        p.setProcessEnvironment(home.Environment());
        p.setChildProcessModifier([] {
            rlimit limit = {200000, 200000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        });
        p.start(CliPath(), {"record", "--out", home.File("net.wav"), "--seconds", "5", "--device", "feed"});
        QVERIFY(p.waitForFinished(20000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.contains("the disk is full"), qPrintable(err));
        CWave wave;
        wave.Load(home.File("net.wav"));
        QVERIFY(wave.GetSampleCount() > 90000);
        QCOMPARE(wave.GetBytes(), TestSamples(5 * 44100).left(wave.GetSampleCount() * 2));
    }

    void spellPrintsThePhoneticLine_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("line");
        QTest::newRow("typed in lower case") << "w4abc"
                                             << "Whisky - 4 - Alpha - Bravo - Charlie";
        QTest::newRow("portable") << "AB1/M"
                                  << "Alpha - Bravo - 1 - / - Mike";
    }

    void spellPrintsThePhoneticLine()
    {
        QFETCH(QString, call);
        QFETCH(QString, line);
        const CCliRun r = RunCli({"spell", call});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, line + '\n');
    }

    // --play speaks one sound per character, in order, each whole.
    void spellPlays()
    {
        CAudioHome home;
        const CCliRun r = RunCli({"spell", "K9X", "--play", "--device", "played"}, home.Variables());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QByteArray expected;
        for (const char c : {'K', '9', 'X'}) {
            CWave w;
            w.Load(Phonetics::SoundOf(QLatin1Char(c)));
            expected += w.GetBytes();
        }
        QVERIFY(ReadFile(home.File("played.raw")) == expected);

        const CCliRun bad =
            RunCli({"spell", "K9X", "--play", "--device", "no_such_device"}, home.Variables());
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.err.contains("no_such_device"));
    }
};

QTEST_GUILESS_MAIN(TestAudioCli)
#include "tst_audiocli.moc"
