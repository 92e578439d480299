// The phonetic line, the look-up of a station's own recording, the volume slider's rules through a fake
// mixer (and the real one on a machine without a sound card), and where recordings are saved.
#include "core/app/Settings.h"
#include "core/audio/Phonetics.h"
#include "core/audio/Recordings.h"
#include "core/audio/SoundMixer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QtTest>
#include <alsa/asoundlib.h>

using namespace TestSupport;

namespace {

// A sound card's volume control as the test wants it; it counts what is written to it.
class CFakeMixer : public CMixerBackend
{
public:
    CFakeMixer(OpenResult open, bool hasControl, long minimum, long maximum, long value, int* writes)
        : m_open(open), m_hasControl(hasControl), m_min(minimum), m_max(maximum), m_value(value),
          m_writes(writes)
    {
    }
    OpenResult Open() override { return m_open; }
    bool FindVolumeControl(long& minimum, long& maximum) override
    {
        minimum = m_min;
        maximum = m_max;
        return m_hasControl;
    }
    bool GetVolume(long& value) override
    {
        value = m_value;
        return true;
    }
    bool SetVolume(long value) override
    {
        ++*m_writes;
        m_value = value;
        return true;
    }
    QString GetErrorText() const override { return {}; }

private:
    OpenResult m_open;
    bool m_hasControl;
    long m_min, m_max, m_value;
    int* m_writes;
};

} // namespace

class TestAnnouncer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void phoneticLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("portable") << "AB1/M"
                                  << "Alpha - Bravo - 1 - / - Mike";
        QTest::newRow("space stays a piece") << "Q2 Z"
                                             << "Quebec - 2 -   - Zulu";
        QTest::newRow("lower case stays") << "W4abc"
                                          << "Whisky - 4 - a - b - c";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("one letter") << "X"
                                    << "X-ray";
        QTest::newRow("every letter")
            << "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
            << "Alpha - Bravo - Charlie - Delta - Echo - Foxtrot - Golf - Hotel - India - "
               "Juliet - Kilo - Lima - Mike - November - Oscar - Papa - Quebec - Romeo - "
               "Sierra - Tango - Uniform - Victor - Whisky - X-ray - Yankee - Zulu";
    }

    void phoneticLine()
    {
        QFETCH(QString, text);
        QTEST(Phonetics::Line(text), "line");
    }

    // One sound per character, letters their words and digits their numbers; others a silent slot.
    void phonicsSounds()
    {
        QCOMPARE(Phonetics::Sounds("W4ABC"),
                 (QStringList{":/sounds/W.wav", ":/sounds/4.wav", ":/sounds/A.wav", ":/sounds/B.wav",
                              ":/sounds/C.wav"}));
        QCOMPARE(Phonetics::Sounds("K1/P"),
                 (QStringList{":/sounds/K.wav", ":/sounds/1.wav", "", ":/sounds/P.wav"}));
        QCOMPARE(Phonetics::Sounds(""), QStringList());
    }

    void callRecording_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("found");
        QTest::newRow("same name") << "CALLS"
                                   << "W4ABC.wav"
                                   << "W4ABC" << true;
        QTest::newRow("other case") << "CALLS"
                                    << "w4abc.WAV"
                                    << "W4ABC" << true;
        QTest::newRow("folder in lower case") << "calls"
                                              << "W4ABC.wav"
                                              << "W4ABC" << true;
        QTest::newRow("slash as underscore") << "CALLS"
                                             << "VE3_W4ABC.wav"
                                             << "VE3/W4ABC" << true;
        QTest::newRow("other call") << "CALLS"
                                    << "W4ABD.wav"
                                    << "W4ABC" << false;
        QTest::newRow("empty call") << "CALLS"
                                    << ".wav"
                                    << "" << false;
        QTest::newRow("no folder") << "RECORDINGS"
                                   << "W4ABC.wav"
                                   << "W4ABC" << false;
        QTest::newRow("a folder, not a file") << "CALLS"
                                              << "W4ABC.wav/"
                                              << "W4ABC" << false;
    }

    void callRecording()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(QString, call);
        CScratch s;
        QDir(s.Path()).mkpath(folder);
        if (file.endsWith('/'))
            QDir(s.Path()).mkpath(folder + '/' + file);
        else
            WriteFile(s.File(folder + '/' + file), "RIFF");
        const QString found = Phonetics::CallRecording(s.Path(), call);
        QTEST(!found.isEmpty(), "found");
        if (!found.isEmpty())
            QCOMPARE(QFileInfo(found).fileName(), file);
    }

    // The slider's range, ticks and label, "Volume: 0" to "Volume: 10" whatever the control's bounds.
    void volumeLabel_data()
    {
        QTest::addColumn<long>("minimum");
        QTest::addColumn<long>("maximum");
        QTest::addColumn<long>("position");
        QTest::addColumn<QString>("label");
        QTest::newRow("top of 65535") << 0L << 65535L << 65535L << "Volume: 10";
        QTest::newRow("middle of 65535") << 0L << 65535L << 32765L << "Volume: 5";
        QTest::newRow("bottom of 65535") << 0L << 65535L << 0L << "Volume: 0";
        // Truncated, as the ticks are: a value shows once the slider has reached its tick.
        QTest::newRow("3277 of 65535: not yet 1") << 0L << 65535L << 3277L << "Volume: 0";
        QTest::newRow("62300 of 65535: not yet 10") << 0L << 65535L << 62300L << "Volume: 9";
        QTest::newRow("6553 of 65535: 1") << 0L << 65535L << 6553L << "Volume: 1";
        QTest::newRow("maximum below 10") << 0L << 5L << 3L << "Volume: 6";
        QTest::newRow("top of 5") << 0L << 5L << 5L << "Volume: 10";
        QTest::newRow("maximum 1") << 0L << 1L << 1L << "Volume: 10";
        QTest::newRow("maximum 0") << 0L << 0L << 0L << "Volume: 0";
        QTest::newRow("maximum 19") << 0L << 19L << 19L << "Volume: 10";
        QTest::newRow("bounds not from 0") << 10L << 20L << 15L << "Volume: 5";
    }

    void volumeLabel()
    {
        QFETCH(long, minimum);
        QFETCH(long, maximum);
        QFETCH(long, position);
        int writes = 0;
        CSoundMixer mixer(
            std::make_unique<CFakeMixer>(CMixerBackend::Opened, true, minimum, maximum, maximum, &writes));
        const CVolumeSlider slider = mixer.InitVolumeSlider();
        QVERIFY(slider.enabled);
        QCOMPARE(slider.minimum, minimum);
        QCOMPARE(slider.maximum, maximum);
        QVERIFY(slider.tickInterval >= 1);
        QVERIFY(slider.hasPosition);
        QTEST(mixer.OnSliderMoved(position), "label");
        QCOMPARE(writes, 1);
        long now = -1;
        QVERIFY(mixer.GetVolume(now));
        QCOMPARE(now, position);
    }

    void volumeTicks()
    {
        int writes = 0;
        CSoundMixer mixer(std::make_unique<CFakeMixer>(CMixerBackend::Opened, true, 0, 65535, 1234, &writes));
        const CVolumeSlider slider = mixer.InitVolumeSlider();
        QCOMPARE(slider.tickInterval, 6553L);
        QCOMPARE(slider.position, 1234L);
    }

    // No card or no control: disabled, and never written. A card that cannot be opened: 0..10, enabled,
    // and moving it changes nothing.
    void sliderWithoutControl_data()
    {
        QTest::addColumn<int>("open");
        QTest::addColumn<bool>("hasControl");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no sound card") << int(CMixerBackend::NoDevice) << true << false;
        QTest::newRow("no volume control") << int(CMixerBackend::Opened) << false << false;
        QTest::newRow("cannot be opened") << int(CMixerBackend::Failed) << true << true;
    }

    void sliderWithoutControl()
    {
        QFETCH(int, open);
        QFETCH(bool, hasControl);
        int writes = 0;
        CSoundMixer mixer(
            std::make_unique<CFakeMixer>(CMixerBackend::OpenResult(open), hasControl, 0, 100, 50, &writes));
        const CVolumeSlider slider = mixer.InitVolumeSlider();
        QTEST(slider.enabled, "enabled");
        QCOMPARE(slider.minimum, 0L);
        QCOMPARE(slider.maximum, 10L);
        QCOMPARE(mixer.OnSliderMoved(7), QStringLiteral("Volume: 7"));
        QVERIFY(!mixer.SetVolume(3));
        QCOMPARE(writes, 0);
    }

    void realMixerWithoutSoundCard()
    {
        int card = -1;
        if (snd_card_next(&card) == 0 && card >= 0)
            QSKIP("this machine has a sound card");
        CSoundMixer mixer(CSoundMixer::Alsa("default"));
        QVERIFY(!mixer.InitVolumeSlider().enabled);
        QVERIFY(!mixer.SetVolume(1));
    }

    void suggestedName_data()
    {
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last file saved") << "%1/old/Net 2024-02-29.wav"
                                         << "%1/old/Net 2024-03-07.wav";
        QTest::newRow("folder") << "%1/old"
                                << "%1/old/Net 2024-03-07.wav";
        QTest::newRow("folder not made yet") << "%1/AudioFiles"
                                             << "%1/AudioFiles/Net 2024-03-07.wav";
    }

    void suggestedName()
    {
        QFETCH(QString, last);
        QFETCH(QString, expected);
        CScratch s;
        QDir(s.Path()).mkpath("old");
        QCOMPARE(Recordings::SuggestName(last.arg(s.Path()), QDate(2024, 3, 7)), expected.arg(s.Path()));
    }

    // Saving moves every part, numbered after the first, over what is there; the settings remember it.
    void saveMovesEveryPart()
    {
        CScratch s;
        QDir(s.Path()).mkpath("rec");
        QDir(s.Path()).mkpath("out");
        WriteFile(s.File("rec/r.wav"), "one");
        WriteFile(s.File("rec/r-2.wav"), "two");
        WriteFile(s.File("out/Net.wav"), "old");
        const QStringList moved =
            Recordings::MoveTo({s.File("rec/r.wav"), s.File("rec/r-2.wav")}, s.File("out/Net.wav"));
        QCOMPARE(moved, (QStringList{s.File("out/Net.wav"), s.File("out/Net-2.wav")}));
        QCOMPARE(ReadFile(s.File("out/Net.wav")), QByteArray("one"));
        QCOMPARE(ReadFile(s.File("out/Net-2.wav")), QByteArray("two"));
        QVERIFY(QDir(s.File("rec")).isEmpty());

        CSettings settings(s.File("l.ini"), s.Path());
        Recordings::Remember(settings, moved.first());
        QCOMPARE(settings.Get(Setting::WaveName), QStringLiteral("Net.wav"));
        QCOMPARE(settings.Get(Setting::WavePath), moved.first());
        QVERIFY(settings.Get(Setting::WaveRemember));
        QCOMPARE(settings.Get(Setting::CaptureDevice), QStringLiteral("default"));
    }
};

QTEST_GUILESS_MAIN(TestAnnouncer)
#include "tst_announcer.moc"
