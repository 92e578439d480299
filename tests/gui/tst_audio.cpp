// Test labels: threads
// Sound on the check-in form against ALSA's file plugin: the record button captures known samples and
// the save dialog puts them where the operator says; Phonics and Hear Call play into a file; the volume
// slider on a machine without a sound card.
#include "core/app/Settings.h"
#include "core/audio/Recordings.h"
#include "core/audio/SessionRecorder.h"
#include "core/audio/SoundMixer.h"
#include "core/audio/SoundPlayer.h"
#include "core/audio/Wave.h"
#include "core/audio/WaveFileWriter.h"
#include "gui/app/Commands.h"
#include "gui/audio/AnnouncerPanel.h"
#include "gui/audio/AudioModule.h"
#include "gui/audio/RecorderPanel.h"
#include "gui/audio/VolumePanel.h"
#include "gui/log/LogwardenView.h"
#include "gui/widgets/ProgressPane.h"
#include "support/AlsaFiles.h"
#include "support/gui/GuiFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace TestSupport;

namespace {

const qint64 kFed = 30000; // frames fed to the capture

QByteArray ResourceData(const QString& name)
{
    CWave wave;
    wave.Load(name);
    return wave.GetBytes();
}

// A volume control of the test's choosing.
class CFakeMixer : public CMixerBackend
{
public:
    CFakeMixer(long maximum, long value) : m_max(maximum), m_value(value) {}
    OpenResult Open() override { return Opened; }
    bool FindVolumeControl(long& minimum, long& maximum) override
    {
        minimum = 0;
        maximum = m_max;
        return true;
    }
    bool GetVolume(long& value) override
    {
        value = m_value;
        return true;
    }
    bool SetVolume(long value) override
    {
        m_value = value;
        return true;
    }
    QString GetErrorText() const override { return {}; }

    long m_max, m_value;
};

} // namespace

class TestAudio : public QObject
{
    Q_OBJECT

    CScratch m_home;
    std::unique_ptr<CGuiFixture> m_f;

    CAudioModule& Audio() { return *m_f->Frame().findChild<CAudioModule*>(); }
    CRecorderPanel& Recorder() { return *Audio().Recorder(); }
    CAnnouncerPanel& Announcer() { return *Audio().Announcer(); }
    CPromptScript& Prompts() { return m_f->Prompts(); }
    QString Data(const QString& name) { return m_f->Scratch().File(name); }
    QString Played() { return m_home.File("played.raw"); }
    QString RecordingsFolder() { return Recordings::Folder(m_f->Scratch().Path()); }
    QStringList Markers() { return QDir(RecordingsFolder()).entryList({"*.recording"}, QDir::Files); }

    void TypeCall(const QString& call)
    {
        m_f->Focus(m_f->Frame().FormView()->CallSignBox());
        QTest::keyClick(m_f->Frame().FormView()->CallSignBox(), Qt::Key_F4);
        QTest::keyClicks(m_f->Frame().FormView()->CallSignBox(), call);
    }
    // Presses the record button and waits until the fed samples are in.
    void Record()
    {
        QTest::mouseClick(Recorder().Button(), Qt::LeftButton);
        QVERIFY2(Recorder().IsRecording(), qPrintable(Prompts().Last()));
        QElapsedTimer t;
        t.start();
        while (Recorder().Recorder().GetFrames() < kFed && t.elapsed() < 20000)
            QTest::qWait(2);
    }
    // The fed samples lead the file's data.
    bool HoldsFed(const QString& path)
    {
        CWave wave;
        wave.Load(path);
        return wave.GetBytes().left(kFed * 2) == TestSamples(kFed);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // ALSA reads ~/.asoundrc once, at its first use in the process.
        WriteFile(m_home.File("in.raw"), TestSamples(kFed));
        WriteAsoundrc(m_home.Path(), m_home.File("in.raw"), Played());
        qputenv("HOME", m_home.Path().toUtf8());
    }
    void init()
    {
        QFile::remove(Played());
        m_f = std::make_unique<CGuiFixture>();
        m_f->Settings().Set(Setting::CaptureDevice, "feed");
        m_f->Settings().Set(Setting::PlaybackDevice, "played");
    }
    void cleanup() { m_f.reset(); }

    void recordButtonRoundTrip()
    {
        QPushButton* button = Recorder().Button();
        QCOMPARE(button->text(), QStringLiteral("Off"));
        QVERIFY(!Recorder().LevelBar()->isVisible());
        QSignalSpy progress(&Recorder().Recorder(), &CSessionRecorder::progress);
        Record();
        QCOMPARE(button->text(), QStringLiteral("On"));
        QCOMPARE(m_f->Frame().StatusText(), QStringLiteral("Session Recording is ON"));
        QVERIFY(Recorder().LevelBar()->isVisible());
        // The elapsed time over the level of the loud input.
        QTRY_VERIFY(!progress.isEmpty());
        QVERIFY(progress.first().at(1).toInt() > 50);
        QTRY_VERIFY(
            QRegularExpression("^0:\\d\\d:\\d\\d$").match(Recorder().LevelBar()->format()).hasMatch());

        const QString target = Data("net/first.wav");
        QDir().mkpath(Data("net"));
        Prompts().Choose(target);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(!Recorder().IsSaving());
        QCOMPARE(button->text(), QStringLiteral("Off"));
        QVERIFY(!Recorder().IsRecording());
        QVERIFY(HoldsFed(target));
        QCOMPARE(Prompts().Shown(), QStringList());
        // Offered in the default folder under the net's date; remembered for the next one.
        const Prompt::CFileRequest& asked = Prompts().FileRequests().first();
        QCOMPARE(asked.folder, Data("AudioFiles"));
        QCOMPARE(asked.proposedName, QStringLiteral("Net 2026-01-05.wav"));
        QCOMPARE(m_f->Settings().Get(Setting::WavePath), target);
        QCOMPARE(m_f->Settings().Get(Setting::WaveName), QStringLiteral("first.wav"));
        QVERIFY(m_f->Settings().Get(Setting::WaveRemember));
        QCOMPARE(Markers(), QStringList());

        // The next recording is offered beside the last one.
        Record();
        Prompts().Choose(QString());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(Prompts().FileRequests().last().folder, Data("net"));
    }

    // What the operator answers in the save dialog and to the overwrite question.
    void saveDialog_data()
    {
        QTest::addColumn<bool>("occupied");     // "Net 2026-01-05.wav" exists in the default folder
        QTest::addColumn<QStringList>("names"); // chosen in turn; empty cancels
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("savedAs"); // empty: kept where it was recorded
        QTest::addColumn<QString>("offered");
        const QString net = "AudioFiles/Net 2026-01-05.wav";
        QTest::newRow("cancel keeps it") << false << QStringList{""} << QList<bool>{} << ""
                                         << "Net 2026-01-05.wav";
        QTest::newRow("no to overwrite asks again") << true << QStringList{net, "AudioFiles/other.wav"}
                                                    << QList<bool>{false} << "AudioFiles/other.wav"
                                                    << "Net 2026-01-05 (2).wav";
        QTest::newRow("no, then cancel keeps it") << true << QStringList{net, ""} << QList<bool>{false} << ""
                                                  << "Net 2026-01-05 (2).wav";
        QTest::newRow("yes overwrites")
            << true << QStringList{net} << QList<bool>{true} << net << "Net 2026-01-05 (2).wav";
        QTest::newRow("a folder that is not there asks again")
            << false << QStringList{"missing/x.wav", "AudioFiles/x.wav"} << QList<bool>{}
            << "AudioFiles/x.wav"
            << "Net 2026-01-05.wav";
    }

    void saveDialog()
    {
        QFETCH(bool, occupied);
        QFETCH(QStringList, names);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, savedAs);
        if (occupied) {
            QDir().mkpath(Data("AudioFiles"));
            WriteFile(Data("AudioFiles/Net 2026-01-05.wav"), "last week");
        }
        Record();
        const QString streamed = Recorder().Recorder().GetFiles().first();
        for (const QString& name : names)
            Prompts().Choose(name.isEmpty() ? QString() : Data(name));
        for (bool yes : answers)
            Prompts().Answer(yes);
        QTest::mouseClick(Recorder().Button(), Qt::LeftButton);
        QTRY_VERIFY(!Recorder().IsSaving());

        QCOMPARE(Prompts().FileRequests().size(), names.size());
        QTEST(Prompts().FileRequests().first().proposedName, "offered");
        for (int i = 1; i < names.size(); ++i) // back to the dialog with the name chosen before
            QCOMPARE(Prompts().FileRequests()[i].proposedName, QFileInfo(Data(names[i - 1])).fileName());
        QCOMPARE(Prompts().AnswersLeft(), 0);
        if (!answers.isEmpty())
            QVERIFY(
                Prompts().Shown().contains("Question: File " + Data(names.first()) + " exists! Overwrite?"));
        if (occupied && savedAs != names.first())
            QCOMPARE(ReadFile(Data("AudioFiles/Net 2026-01-05.wav")), QByteArray("last week"));
        if (savedAs.isEmpty()) {
            // Kept where it was streamed, and the operator is told where.
            QVERIFY(HoldsFed(streamed));
            QCOMPARE(Prompts().Last(),
                     "The recording was not saved under another name. It is kept in:\n" + streamed);
            QVERIFY(!m_f->Settings().Contains(Setting::WavePath));
        } else {
            QVERIFY(HoldsFed(Data(savedAs)));
            QVERIFY(!QFile::exists(streamed));
            QCOMPARE(m_f->Settings().Get(Setting::WavePath), Data(savedAs));
        }
        QCOMPARE(Markers(), QStringList()); // dealt with: not offered again
    }

    void failedStartReturnsToIdle()
    {
        m_f->Settings().Set(Setting::CaptureDevice, "no_such_device");
        QTest::mouseClick(Recorder().Button(), Qt::LeftButton);
        QVERIFY(!Recorder().IsRecording());
        QCOMPARE(Recorder().Button()->text(), QStringLiteral("Off"));
        QCOMPARE(m_f->Frame().StatusText(), QStringLiteral("Session Recording is OFF"));
        QVERIFY(Prompts().Last().contains("no_such_device"));
        QVERIFY(Prompts().FileRequests().isEmpty());
    }

    // A full disk (here a file-size limit) stops the recording with an alert; what was captured stays.
    void fullDiskKeepsTheRecording()
    {
        struct rlimit saved;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 1 << 20;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        Prompts().Choose(QString());
        QTest::mouseClick(Recorder().Button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!Recorder().IsRecording(), 20000);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(Recorder().Button()->text(), QStringLiteral("Off"));
        QCOMPARE(Prompts().Shown().size(), 2);
        QVERIFY(Prompts().Shown().first().startsWith("Error: The recording stopped: "));
        const QString kept = Recorder().Recorder().GetFiles().first();
        QVERIFY(HoldsFed(kept));
        QVERIFY(Prompts().Last().endsWith(kept));
    }

    void closingWhileRecordingOffersToSave()
    {
        Record();
        Prompts().Choose(Data("closing.wav"));
        m_f->Frame().close();
        QVERIFY(!Recorder().IsRecording());
        QTRY_VERIFY(!m_f->Frame().isVisible());
        QVERIFY(HoldsFed(Data("closing.wav")));
    }

    // The recording is moved off the window's thread: meanwhile the window runs, shows the work, refuses
    // a second start and stays open when asked to close, closing once the recording is saved.
    void savingRunsBesideTheWindow_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("the button") << "button";
        QTest::newRow("closing the window") << "close";
        QTest::newRow("the window goes") << "destroy";
    }

    void savingRunsBesideTheWindow()
    {
        QFETCH(QString, meanwhile);
        Record();
        const QString target = Data("busy.wav");
        Prompts().Choose(target);
        QTest::mouseClick(Recorder().Button(), Qt::LeftButton);
        // The move's end comes back through the event loop, so it is still running here.
        QVERIFY(Recorder().IsSaving());
        QVERIFY(!Recorder().Button()->isEnabled());
        QVERIFY(m_f->Frame().Progress().Task(QStringLiteral("saveRecording")));
        if (meanwhile == QLatin1String("button")) {
            Recorder().OnRecordToggle();
            QVERIFY(!Recorder().IsRecording());
        } else if (meanwhile == QLatin1String("close")) {
            QVERIFY(!m_f->Frame().close());
            QVERIFY(m_f->Frame().isVisible());
            QTRY_VERIFY(!m_f->Frame().isVisible());
        } else {
            // Not offered again at the next start: it was saved.
            m_f->Restart();
            QVERIFY(HoldsFed(target));
            QCOMPARE(Markers(), QStringList());
            QCOMPARE(Prompts().Shown(), QStringList());
            return;
        }
        QTRY_VERIFY(!Recorder().IsSaving());
        QVERIFY(Recorder().Button()->isEnabled());
        QTRY_VERIFY(!m_f->Frame().Progress().Task(QStringLiteral("saveRecording")));
        QVERIFY(HoldsFed(target));
        QCOMPARE(Prompts().FileRequests().size(), 1);
        QCOMPARE(Markers(), QStringList());
    }

    void leftOverRecordingOfferedAtStart_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("saved") << true;
        QTest::newRow("kept") << false;
    }

    void leftOverRecordingOfferedAtStart()
    {
        QFETCH(bool, save);
        // As a crash leaves it: a marker nobody holds, the header of an early checkpoint.
        QDir().mkpath(RecordingsFolder());
        const QString base = RecordingsFolder() + "/recording-20240307-190230";
        WriteFile(base + ".recording", {});
        WriteFile(base + ".wav", CWave::Header(WaveCapture::Format(), 0) + TestSamples(kFed));
        Prompts().Answer(save);
        if (save)
            Prompts().Choose(Data("march.wav"));
        m_f->Restart();
        QTRY_COMPARE(Markers(), QStringList());
        QVERIFY(Prompts().Shown().first().startsWith(
            "Question: Logwarden ended while it was recording the net on Thursday, March 7, 2024 at 19:02."));
        if (save) {
            QCOMPARE(Prompts().FileRequests().first().proposedName, QStringLiteral("Net 2024-03-07.wav"));
            QVERIFY(HoldsFed(Data("march.wav")));
        } else {
            QVERIFY(HoldsFed(base + ".wav"));
            QVERIFY(Prompts().Last().endsWith(base + ".wav"));
        }
        // Dealt with once.
        const qsizetype shown = Prompts().Shown().size();
        m_f->Restart();
        QTest::qWait(50);
        QCOMPARE(Prompts().Shown().size(), shown);
    }

    // The line follows the call box, typed or filled by a command.
    void phoneticLineFollowsTheCallBox()
    {
        AddCheckin(m_f->Db(), {"W4ABC", QDateTime(QDate(2025, 12, 1), QTime(19, 0))});
        QLabel* line = Announcer().PhoneticLine();
        TypeCall("W4");
        QCOMPARE(line->text(), QStringLiteral("Whisky - 4"));
        QTest::keyClick(m_f->Frame().FormView()->CallSignBox(), Qt::Key_F1);
        QCOMPARE(m_f->Frame().FormView()->CallSignBox()->text(), QStringLiteral("W4ABC"));
        QCOMPARE(line->text(), QStringLiteral("Whisky - 4 - Alpha - Bravo - Charlie"));
    }

    // Phonics on W4ABC: Whisky, 4, Alpha, Bravo, Charlie; a second press starts again.
    void phonicsSpellsTheCall()
    {
        TypeCall("W4ABC");
        QTest::mouseClick(Announcer().PhonicsButton(), Qt::LeftButton);
        QVERIFY(Announcer().Player().WaitIdle(10000));
        QByteArray expected;
        for (const char* c : {"W", "4", "A", "B", "C"})
            expected += ResourceData(QStringLiteral(":/sounds/%1.wav").arg(c));
        QVERIFY(ReadFile(Played()) == expected);

        QFile::remove(Played());
        QTest::mouseClick(Announcer().PhonicsButton(), Qt::LeftButton);
        QTest::qWait(700);
        QTest::mouseClick(Announcer().PhonicsButton(), Qt::LeftButton);
        QVERIFY(Announcer().Player().WaitIdle(10000));
        const QByteArray played = ReadFile(Played());
        QVERIFY(played.startsWith(ResourceData(":/sounds/W.wav")));
        QVERIFY(played.endsWith(expected));
    }

    // Greyed, F9 with it, without the station's file; with it, both play the file.
    void hearCallPlaysTheStationsFile()
    {
        QAction* f9 = m_f->Frame().Commands().hearCall;
        TypeCall("W4ABC");
        QVERIFY(!Announcer().HearCallButton()->isEnabled());
        QVERIFY(!f9->isEnabled());

        QDir().mkpath(Data("CALLS"));
        const QByteArray samples = TestSamples(4000, 5);
        WriteFile(Data("CALLS/W4ABC.wav"),
                  CWave::Header(WaveCapture::Format(), quint32(samples.size())) + samples);
        TypeCall("W4ABC");
        QVERIFY(Announcer().HearCallButton()->isEnabled());
        QVERIFY(f9->isEnabled());
        QTest::keyClick(m_f->Frame().FormView()->CallSignBox(), Qt::Key_F9);
        QVERIFY(Announcer().Player().WaitIdle(10000));
        QVERIFY(ReadFile(Played()) == samples);
    }

    void volumeSlider()
    {
        // This machine has no sound card.
        QSlider* slider = Audio().Volume()->Slider();
        QVERIFY(!slider->isEnabled());
        QCOMPARE(Audio().Volume()->Label()->text(), QStringLiteral("Volume: "));

        // A card's control: its range, a tick every tenth, the current volume, the label on a move.
        auto* fake = new CFakeMixer(65535, 13107);
        CVolumePanel panel(std::make_unique<CSoundMixer>(std::unique_ptr<CMixerBackend>(fake)));
        QVERIFY(panel.Slider()->isEnabled());
        QCOMPARE(panel.Slider()->maximum(), 65535);
        QCOMPARE(panel.Slider()->tickInterval(), 6553);
        QCOMPARE(panel.Slider()->value(), 13107);
        QCOMPARE(panel.Label()->text(), QStringLiteral("Volume: "));
        panel.Slider()->setValue(32765);
        QCOMPARE(fake->m_value, 32765L);
        QCOMPARE(panel.Label()->text(), QStringLiteral("Volume: 5"));
    }
};

QTEST_MAIN(TestAudio)
#include "tst_audio.moc"
