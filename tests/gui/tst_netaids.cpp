// The net preamble window, the sample preamble of a new data folder, the net day (NCS label, letter
// ranges, caption) and the transmitter toggle run with a stand-in program.
#include "core/app/Settings.h"
#include "core/log/LogQueries.h"
#include "core/log/RtfReader.h"
#include "core/log/TransmitterToggle.h"
#include "gui/log/LogwardenView.h"
#include "gui/log/NetDayPanel.h"
#include "gui/log/NetLogTools.h"
#include "gui/log/NetpreambleDlg.h"
#include "gui/log/SampleFiles.h"
#include "support/gui/GuiFixture.h"

#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7); // a Thursday

QString StandIn(const CScratch& scratch, const QByteArray& body)
{
    const QString path = scratch.File(QStringLiteral("fake-ssh"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write the stand-in");
    f.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.txt\"\n" + body + "\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

} // namespace

class TestNetAids : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;

    CLogwardenView& Form() { return *m_f->Frame().FormView(); }
    CNetLogTools& Tools() { return *m_f->Frame().findChild<CNetLogTools*>(); }
    CNetDayPanel& NetDay() { return *Tools().NetDay(); }
    QCalendarWidget* Calendar() { return Form().findChild<QCalendarWidget*>(QStringLiteral("calendar")); }
    QString Status() { return m_f->Frame().StatusText(); }
    QStringList ArgsSeen()
    {
        QFile f(m_f->Scratch().File(QStringLiteral("args.txt")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }
    CNetpreambleDlg* Preamble() { return Tools().PreambleDialog(); }
    void PressAltP()
    {
        m_f->Focus(Form().CallSignBox());
        QTest::keyClick(Form().CallSignBox(), Qt::Key_P, Qt::AltModifier);
    }
    // Presses F10 and waits for the command's end; true when it ran without error.
    bool Transmit()
    {
        QSignalSpy done(&NetDay(), &CNetDayPanel::transmitFinished);
        m_f->Focus(Form().CallSignBox());
        QTest::keyClick(Form().CallSignBox(), Qt::Key_F10);
        if (done.isEmpty() && !done.wait(10000))
            return false;
        return done.first().first().toBool();
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<CGuiFixture>(QDateTime(kDay, QTime(19, 0)));
        m_f->Frame().activateWindow();
    }
    void cleanup() { m_f.reset(); }

    void preambleShowsTheFileAtAZoom()
    {
        WriteFile(m_f->Scratch().File(QStringLiteral("preamble.rtf")), SampleFiles::SamplePreamble());
        QVERIFY(!Preamble());
        PressAltP();
        QVERIFY(Preamble() && Preamble()->isVisible());
        QCOMPARE(Preamble()->windowTitle(), QStringLiteral("Ostravel 2 Meter Net Preamble"));
        QCOMPARE(Preamble()->pos(), QPoint(100, 50));
        QCOMPARE(Preamble()->size(), QSize(1000, 700));
        QTextBrowser* text = Preamble()->TextControl();
        QVERIFY(text->isReadOnly());
        QVERIFY(text->toPlainText().startsWith(QLatin1String("Two Meter Net Preamble\n")));
        QApplication::processEvents();
        QCOMPARE(text->verticalScrollBar()->value(), 0); // read from the top
        // The title: 18 points, bold, centred, shown at 125 %.
        const QTextBlock title = text->document()->firstBlock();
        QCOMPARE(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        const QTextCharFormat format = title.begin().fragment().charFormat();
        QCOMPARE(format.fontPointSize(), 18 * 1.25);
        QCOMPARE(format.fontWeight(), int(QFont::Bold));
        // The placeholders are red.
        const QString plain = text->toPlainText();
        QTextCursor at(text->document());
        at.setPosition(int(plain.indexOf(QLatin1String("[your call sign]"))) + 1);
        QCOMPARE(at.charFormat().foreground().color(), QColor(192, 0, 0));

        // OK keeps the placement; Alt+P shows the same window again, with the text read once.
        Preamble()->move(230, 140);
        Preamble()->resize(640, 480);
        WriteFile(m_f->Scratch().File(QStringLiteral("preamble.rtf")), "{\\rtf1 Changed}");
        QTest::mouseClick(Preamble()->findChildren<QPushButton*>().at(0), Qt::LeftButton);
        QVERIFY(!Preamble()->isVisible());
        QCOMPARE(m_f->Settings().Get(Setting::PreambleLeft), 230);
        QCOMPARE(m_f->Settings().Get(Setting::PreambleTop), 140);
        QCOMPARE(m_f->Settings().Get(Setting::PreambleWidth), 640);
        QCOMPARE(m_f->Settings().Get(Setting::PreambleHeight), 480);
        CNetpreambleDlg* first = Preamble();
        PressAltP();
        QCOMPARE(Preamble(), first);
        QVERIFY(Preamble()->isVisible());
        QVERIFY(Preamble()->TextControl()->toPlainText().startsWith(QLatin1String("Two Meter")));

        // Cancel hides without saving; the next run opens where OK left it, with the new text.
        Preamble()->move(10, 10);
        Preamble()->reject();
        QCOMPARE(m_f->Settings().Get(Setting::PreambleLeft), 230);
        m_f->Restart();
        PressAltP();
        QCOMPARE(Preamble()->pos(), QPoint(230, 140));
        QCOMPARE(Preamble()->size(), QSize(640, 480));
        QCOMPARE(Preamble()->TextControl()->toPlainText(), QStringLiteral("Changed"));
    }

    void preambleThatCannotBeShown_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << QByteArray() << "No net preamble: the file \"%1\" does not exist.";
        QTest::newRow("not RTF") << QByteArray("Good evening, net.")
                                 << "The net preamble cannot be shown: the file is "
                                    "not in Rich Text Format.";
    }
    void preambleThatCannotBeShown()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, says);
        const QString path = m_f->Scratch().File(QStringLiteral("preamble.rtf"));
        if (!content.isEmpty())
            WriteFile(path, content);
        PressAltP();
        QVERIFY(Preamble()->isVisible());
        if (says.contains(QLatin1String("%1")))
            says = says.arg(QFileInfo(path).absoluteFilePath());
        QVERIFY2(Preamble()->TextControl()->toPlainText().startsWith(says),
                 qPrintable(Preamble()->TextControl()->toPlainText()));
        // The window works as ever.
        Preamble()->accept();
        QVERIFY(!Preamble()->isVisible());
        PressAltP();
        QVERIFY(Preamble()->isVisible());
    }

    void aNewDataFolderGetsTheSamplePreamble()
    {
        CScratch folder;
        CSettings settings(folder.File(QStringLiteral("config/Logwarden.ini")), folder.Path());
        const QString preamble = folder.File(QStringLiteral("preamble.rtf"));
        QVERIFY(SampleFiles::InstallOnFirstRun(folder.Path(), settings));
        QFile file(preamble);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        // The file compiled into the program is the one in res/.
        QFile source(SourceDir() + QStringLiteral("/res/preamble.rtf"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QCOMPARE(bytes, source.readAll());
        QVERIFY(RtfReader::Parse(bytes).PlainText().contains(QLatin1String("net control")));
        QVERIFY(file.permissions() & QFileDevice::WriteOwner); // the user's own, to edit

        // Offered once: a preamble removed later does not come back, and one edited stays as it is.
        QVERIFY(file.remove());
        QVERIFY(!SampleFiles::InstallOnFirstRun(folder.Path(), settings));
        QVERIFY(!QFile::exists(preamble));
        CSettings fresh(folder.File(QStringLiteral("other.ini")), folder.Path());
        WriteFile(preamble, "{\\rtf1 Mine}");
        QVERIFY(!SampleFiles::InstallOnFirstRun(folder.Path(), fresh));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("{\\rtf1 Mine}"));
        QVERIFY(fresh.Get(Setting::PreambleSampleInstalled));
    }

    void theProgramInstallsTheSampleAtItsFirstStart()
    {
        // The real program on an empty data folder: it writes the sample before it opens the log.
        CScratch folder;
        const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/gui/logwarden");
        QVERIFY2(QFileInfo::exists(exe), qPrintable(exe));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.File(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(exe, {QStringLiteral("--data-dir"), folder.File(QStringLiteral("data"))});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.File(QStringLiteral("data/Logwarden-97.db"))), 20000);
        program.terminate();
        if (!program.waitForFinished(5000)) {
            program.kill();
            program.waitForFinished(5000);
        }
        QVERIFY(QFile::exists(folder.File(QStringLiteral("data/preamble.rtf"))));
        QSettings ini(folder.File(QStringLiteral("config/Logwarden/Logwarden.ini")), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("PreambleSettings/SampleInstalled")).toInt(), 1);
    }

    void netDayFollowsTheCalendar_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("range");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Saturday the 8th")
            << QDate(2025, 3, 8) << "NCS: Saturday B (N0CALL)" << 0 << "Saturday, March 08, 2025 - Logwarden";
        QTest::newRow("Saturday the 15th") << QDate(2025, 3, 15) << "NCS: Saturday C (N0CALL)" << 0
                                           << "Saturday, March 15, 2025 - Logwarden";
        QTest::newRow("Monday the 5th")
            << QDate(2026, 1, 5) << "NCS: Monday A (N0CALL)" << 1 << "Monday, January 05, 2026 - Logwarden";
        QTest::newRow("Friday") << QDate(2024, 3, 8) << "NCS: Friday (N0CALL)" << 5
                                << "Friday, March 08, 2024 - Logwarden";
    }
    void netDayFollowsTheCalendar()
    {
        QFETCH(QDate, day);
        QFETCH(QString, label);
        QFETCH(int, range);
        QFETCH(QString, caption);
        // At start: today, a Thursday.
        QCOMPARE(NetDay().NcsLabel()->text(), QStringLiteral("NCS: Thursday (N0CALL)"));
        QCOMPARE(NetDay().MarkedRange(), 4);
        QVERIFY(NetDay().RangeButton(4)->font().bold());
        QVERIFY(NetDay().RangeButton(4)->isChecked());

        Calendar()->setSelectedDate(day);
        QCOMPARE(NetDay().NcsLabel()->text(), label);
        QCOMPARE(NetDay().MyPlaceInd(), range);
        QCOMPARE(NetDay().MarkedRange(), range);
        QVERIFY(NetDay().RangeButton(range)->isChecked());
        for (int i = 0; i < NetRoster::kLetterRanges; ++i)
            QCOMPARE(NetDay().RangeButton(i)->font().bold(), i == range);
        QCOMPARE(NetDay().RangeButton(range)->text(),
                 QString::fromLatin1(NetRoster::kLetterRangeTexts[range]));
        QCOMPARE(m_f->Frame().windowTitle(), caption);
        QCOMPARE(m_f->Doc().SelectedDay(), day);
    }

    void rosterAndLetterRangeChoice()
    {
        m_f->Settings().Set(Setting::RosterName[5], "Pat");
        m_f->Settings().Set(Setting::RosterCall[5], "W4PAT");
        m_f->Restart();
        QCOMPARE(NetDay().NcsLabel()->text(), QStringLiteral("NCS: Pat (W4PAT)"));
        // Choosing a range: it becomes the current one, the day's stays bold, the call sign box takes the
        // keys.
        Form().CallSignBox()->setText(QStringLiteral("W4AB"));
        m_f->Focus(NetDay().RangeButton(2));
        // On its round mark: the button may be wider than its mark and text.
        QTest::mouseClick(NetDay().RangeButton(2), Qt::LeftButton, {},
                          QPoint(6, NetDay().RangeButton(2)->height() / 2));
        QCOMPARE(NetDay().MyPlaceInd(), 2);
        QVERIFY(NetDay().RangeButton(2)->isChecked());
        QCOMPARE(NetDay().MarkedRange(), 4);
        QVERIFY(NetDay().RangeButton(4)->font().bold());
        QVERIFY(!NetDay().RangeButton(2)->font().bold());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form().CallSignBox()));
        QCOMPARE(Form().CallSignBox()->selectedText(), QStringLiteral("W4AB"));
    }

    void transmitterToggles()
    {
        const QString program = StandIn(m_f->Scratch(), "exit 0");
        m_f->Settings().Set(Setting::TransmitterProgram, program);
        NetDay().HostBox()->setText(QStringLiteral("pi@tx.example.org"));
        QVERIFY(!NetDay().IsTransmitterOn());
        QCOMPARE(NetDay().TransmitButton()->iconSize(), QSize(16, 16));
        QCOMPARE(NetDay().TransmitButton()->text(), QStringLiteral("Transmit [F10]"));

        QVERIFY(Transmit());
        QCOMPARE(ArgsSeen(), (QStringList{"-Y", "--", "pi@tx.example.org", "bin/TXToggle.bash"}));
        QVERIFY(NetDay().IsTransmitterOn());
        QCOMPARE(NetDay().TransmitButton()->iconSize(), QSize(24, 24));
        QCOMPARE(Status(), QStringLiteral("Transmitter toggled on pi@tx.example.org."));
        QVERIFY(Transmit());
        QVERIFY(!NetDay().IsTransmitterOn());
        QCOMPARE(NetDay().TransmitButton()->iconSize(), QSize(16, 16));

        // The script is a setting too, and the host used is offered on the next run.
        m_f->Settings().Set(Setting::TransmitterScript, "bin/other.sh");
        QVERIFY(Transmit());
        QCOMPARE(ArgsSeen().last(), QStringLiteral("bin/other.sh"));
        m_f->Restart();
        QCOMPARE(NetDay().HostBox()->text(), QStringLiteral("pi@tx.example.org"));
    }

    void transmitterRefusesHosts_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "Type the transmitter's host into the box beside \"Transmit [F10]\".";
        QTest::newRow("an option")
            << "-oProxyCommand=touch pwned"
            << "\"-oProxyCommand=touch pwned\" is not a host name: it begins with \"-\".";
        QTest::newRow("shell")
            << "tx;touch pwned"
            << "\"tx;touch pwned\" is not a host name: use only letters, digits, \".\" and \"-\" "
               "(optionally after \"user@\").";
    }
    void transmitterRefusesHosts()
    {
        QFETCH(QString, host);
        QFETCH(QString, message);
        m_f->Settings().Set(Setting::TransmitterProgram, StandIn(m_f->Scratch(), "exit 0"));
        NetDay().HostBox()->setText(host);
        QVERIFY(!Transmit());
        QCOMPARE(m_f->Prompts().Last(), message);
        QTest::qWait(100);
        QVERIFY(ArgsSeen().isEmpty());
        QVERIFY(!NetDay().IsTransmitterOn());
        QVERIFY(NetDay().TransmitButton()->isEnabled());
    }

    void aFailedCommandLeavesTheIconAndSaysWhy()
    {
        m_f->Settings().Set(Setting::TransmitterProgram,
                            StandIn(m_f->Scratch(), "echo 'Permission denied (publickey).' >&2; exit 255"));
        NetDay().HostBox()->setText(QStringLiteral("tx"));
        QVERIFY(!Transmit());
        QVERIFY(!NetDay().IsTransmitterOn());
        QCOMPARE(Status(),
                 QStringLiteral(
                     "The transmitter command failed on tx (exit code 255): Permission denied (publickey)."));

        m_f->Settings().Set(Setting::TransmitterProgram,
                            m_f->Scratch().File(QStringLiteral("no-such-program")));
        QVERIFY(!Transmit());
        QVERIFY(!NetDay().IsTransmitterOn());
        QVERIFY(Status().startsWith(QLatin1String("Cannot start the transmitter command")));
        QVERIFY(NetDay().TransmitButton()->isEnabled());
    }

    void theFormWorksWhileTheCommandRuns()
    {
        m_f->Settings().Set(Setting::TransmitterProgram, StandIn(m_f->Scratch(), "sleep 30"));
        m_f->Settings().Set(Setting::TransmitterTimeOut, 2);
        NetDay().HostBox()->setText(QStringLiteral("tx"));
        QSignalSpy done(&NetDay(), &CNetDayPanel::transmitFinished);
        m_f->Focus(Form().CallSignBox());
        QTest::keyClick(Form().CallSignBox(), Qt::Key_F10);
        QCOMPARE(Status(), QStringLiteral("Toggling the transmitter on tx..."));
        QVERIFY(!NetDay().TransmitButton()->isEnabled());
        // A check-in is logged meanwhile.
        QTest::keyClicks(Form().CallSignBox(), "W4RUN");
        QTest::keyClick(Form().CallSignBox(), Qt::Key_F5);
        QCOMPARE(int(LogQueries::DayCheckins(m_f->Db(), kDay).size()), 1);
        QVERIFY(done.isEmpty());
        QVERIFY(done.wait(10000));
        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(Status(),
                 QStringLiteral("The transmitter command on tx did not end within 2 s and was stopped."));
        QVERIFY(!NetDay().IsTransmitterOn());
        QVERIFY(NetDay().TransmitButton()->isEnabled());
    }
};

QTEST_MAIN(TestNetAids)
#include "tst_netaids.moc"
