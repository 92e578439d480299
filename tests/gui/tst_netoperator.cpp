// The operator's aids around the form, through the real window offscreen: the regulars page, Start and
// End Net with the summary, Ctrl+Z, the days with a log in the calendar and the tree, the docked script.
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogQueries.h"
#include "core/net/NetTimes.h"
#include "gui/app/Commands.h"
#include "gui/app/LeftView.h"
#include "gui/log/LogwardenView.h"
#include "gui/net/NetAidsModule.h"
#include "gui/net/NetStatisticsDlg.h"
#include "gui/net/NetSummaryDlg.h"
#include "gui/net/RegularsPanel.h"
#include "support/gui/GuiFixture.h"

#include <QBarSet>
#include <QCalendarWidget>
#include <QChartView>
#include <QDockWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

using namespace TestSupport;

namespace {

// Monday 2026-01-05 19:02:30 is the fixture's "now"; the Mondays before it held nets.
const QDate kToday(2026, 1, 5);

void Seed(CDatabase& db, const QStringList& lines)
{
    for (const QString& line : lines) {
        const QStringList p = line.split(QLatin1Char(' '));
        AddCheckin(db,
                   {p[2], QDateTime(QDate::fromString(p[0], Qt::ISODate), QTime::fromString(p[1], "HH:mm")),
                    QStringLiteral("Name ") + p[2]});
    }
}

const QStringList kHistory{"2025-12-29 19:00 K1AAA", "2025-12-22 19:00 K1AAA", "2025-12-29 19:05 W2BBB",
                           "2025-12-22 19:05 W2BBB", "2025-12-15 19:00 N3CCC", "2025-12-31 19:00 K9XYZ"};

} // namespace

class TestNetOperator : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;

    CNetAidsModule& Aids() { return *m_f->Frame().findChild<CNetAidsModule*>(); }
    CCommands& Commands() { return m_f->Frame().Commands(); }
    CLogwardenView& Form() { return *m_f->Frame().FormView(); }

    void Start(const QStringList& log)
    {
        m_f = std::make_unique<CGuiFixture>();
        m_f->Focus(m_f->Frame().LeftView());
        QVERIFY(QTest::qWaitForWindowActive(&m_f->Frame()));
        Seed(m_f->Db(), log);
        m_f->Doc().Form().SelectDay(kToday.addDays(1));
        m_f->Doc().Form().SelectDay(kToday);
        Aids().Regulars()->Refresh();
        Aids().MarkNetDays();
    }

private Q_SLOTS:
    void cleanup() { m_f.reset(); }

    void regularsFollowTheLogAndTheDay()
    {
        Start(kHistory);
        CRegularsPanel* panel = Aids().Regulars();
        QCOMPARE(panel->Calls(), (QStringList{"W2BBB", "K1AAA"}));
        // Logged by F5: gone from the list at once.
        m_f->Focus(Form().CallSignBox());
        QTest::keyClicks(Form().CallSignBox(), "K1AAA");
        QTest::keyClick(&m_f->Frame(), Qt::Key_F5);
        QTRY_COMPARE(panel->Calls(), QStringList{"W2BBB"});
        // A change that arrives through the store from elsewhere (the shared log) as well.
        CCheckinRecord remote;
        remote.callSign = QStringLiteral("W2BBB");
        remote.date = CDateTime(kToday, QTime(19, 3));
        m_f->Doc().Store().Add(remote);
        QTRY_COMPARE(panel->Calls(), QStringList{});
        // Another Monday has its own.
        m_f->Doc().Form().SelectDay(QDate(2025, 12, 29));
        QTRY_COMPARE(panel->Calls(), QStringList{});
        m_f->Doc().Form().SelectDay(QDate(2026, 1, 12));
        QTRY_COMPARE(panel->Calls(), (QStringList{"W2BBB", "K1AAA"}));
    }

    void takingARegularFillsTheFormReadyForF5_data()
    {
        QTest::addColumn<bool>("byReturn");
        QTest::newRow("double click") << false;
        QTest::newRow("Return") << true;
    }
    void takingARegularFillsTheFormReadyForF5()
    {
        QFETCH(bool, byReturn);
        Start(kHistory);
        QTreeWidget* list = Aids().Regulars()->List();
        Form().CalendarTabs()->setCurrentWidget(Aids().Regulars());
        list->setCurrentItem(list->topLevelItem(0));
        if (byReturn) {
            m_f->Focus(list);
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            const QRect r = list->visualItemRect(list->topLevelItem(0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
        }
        QCOMPARE(m_f->Doc().Form().Entry().callSign, QStringLiteral("W2BBB"));
        QCOMPARE(m_f->Doc().Form().Entry().name, QStringLiteral("Name W2BBB"));
        QVERIFY(!m_f->Doc().Form().IsBound());
        QTest::keyClick(&m_f->Frame(), Qt::Key_F5);
        QCOMPARE(LogQueries::DayCheckins(m_f->Db(), kToday).size(), size_t(1));
    }

    void startAndEndNetStampAndSummarise()
    {
        Start(kHistory + QStringList{"2026-01-05 19:01 K1AAA", "2026-01-05 19:02 N0NEW"});
        m_f->Settings().Set(Setting::PreNetServer, QStringLiteral("club.example.org"));
        m_f->Clock().Set(QDateTime(kToday, QTime(19, 0)));
        QTest::keyClick(&m_f->Frame(), Qt::Key_F5, Qt::ControlModifier);
        m_f->Clock().Set(QDateTime(kToday, QTime(19, 45)));
        QString shown;
        bool report = false;
        m_f->Prompts().OnDialog<CNetSummaryDlg>([&](CNetSummaryDlg& dlg) {
            shown = dlg.TextBox()->toPlainText();
            QVERIFY(dlg.isVisible());
            dlg.ReportButton()->click();
            report = dlg.ReportWanted();
        });
        // The report's own dialog follows; closed unsent.
        m_f->Prompts().Reject();
        QTest::keyClick(&m_f->Frame(), Qt::Key_F6, Qt::ControlModifier);
        QVERIFY(report);
        QCOMPARE(shown,
                 QStringLiteral("Net of Monday, January 5, 2026\nCheck-ins: 2\nNew stations: 1 (N0NEW)\n"
                                "Regulars missing: 1 (W2BBB)\nTraffic: 0\nAcknowledged: 0\nStarted: 19:00\n"
                                "Ended: 19:45\nDuration: 45 min\n"));
        QCOMPARE(m_f->Prompts().Dialogs(), (QStringList{"Net Summary", "NetReport"}));
        // No check-in was added or changed by the two keys.
        QCOMPARE(LogQueries::DayCheckins(m_f->Db(), kToday).size(), size_t(2));
        // Stamping again asks; No keeps the stamp.
        m_f->Prompts().Answer(false);
        m_f->Clock().Set(QDateTime(kToday, QTime(20, 0)));
        QTest::keyClick(&m_f->Frame(), Qt::Key_F5, Qt::ControlModifier);
        QCOMPARE(m_f->Prompts().Last(),
                 QStringLiteral("The net of 01/05/2026 was started at 19:00. Stamp it started now instead?"));
        QCOMPARE(NetTimes::Get(m_f->Db(), kToday).started, QDateTime(kToday, QTime(19, 0)));
    }

    void ctrlZUndoesTheLastActionOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("rowsAfter");
        QTest::newRow("Yes restores") << true << 2;
        QTest::newRow("No keeps it deleted") << false << 1;
    }
    void ctrlZUndoesTheLastActionOnlyWhenAsked()
    {
        QFETCH(bool, yes);
        QFETCH(int, rowsAfter);
        Start({"2026-01-05 19:01 K1AAA", "2026-01-05 19:02 W2BBB"});
        QTableView* list = Form().DayList();
        QTRY_COMPARE(list->model()->rowCount(), 2);
        m_f->Focus(list);
        list->selectionModel()->select(list->model()->index(0, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_f->Prompts().Answer(true); // the deletion's question
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(m_f->Doc().Form().RowCount(), 1);
        // Typing in the call-sign box is undone there first.
        QTest::keyClick(&m_f->Frame(), Qt::Key_F4);
        QTest::keyClicks(Form().CallSignBox(), "N9");
        QTest::keyClick(Form().CallSignBox(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Form().CallSignBox()->text(), QString());
        QCOMPARE(m_f->Prompts().Shown().size(), 1);
        m_f->Prompts().Answer(yes);
        QTest::keyClick(Form().CallSignBox(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(m_f->Prompts().Last(), QStringLiteral("Undo the deletion of 1 check-in (K1AAA)?"));
        QCOMPARE(m_f->Doc().Form().RowCount(), rowsAfter);
        if (yes) {
            QCOMPARE(m_f->Doc().Form().Rows().front().callSign, QStringLiteral("K1AAA"));
            QCOMPARE(m_f->Frame().StatusText(),
                     QStringLiteral("Undid the deletion of 1 check-in (K1AAA): restored."));
        }
    }

    void daysWithALogAreMarked()
    {
        Start(kHistory);
        QCalendarWidget* calendar = Form().Calendar();
        calendar->setCurrentPage(2025, 12);
        QTRY_VERIFY(calendar->dateTextFormat(QDate(2025, 12, 22)).fontWeight() == QFont::Bold);
        QVERIFY(calendar->dateTextFormat(QDate(2025, 12, 23)).fontWeight() != QFont::Bold);
        CLeftView* tree = m_f->Frame().LeftView();
        const auto bold = [tree](const QDate& d) {
            return tree->findItems(d.toString("yyyy MM dd"), Qt::MatchExactly).front()->font(0).bold();
        };
        QVERIFY(bold(QDate(2025, 12, 31)));
        QVERIFY(!bold(kToday));
        // Choosing a day keeps the marks; a new day's first check-in marks it; deleting it unmarks it.
        m_f->Doc().Form().SelectDay(QDate(2025, 12, 22));
        QCOMPARE(calendar->dateTextFormat(QDate(2025, 12, 29)).fontWeight(), int(QFont::Bold));
        CCheckinRecord r;
        r.callSign = QStringLiteral("K1AAA");
        r.date = CDateTime(kToday, QTime(19, 0));
        const int id = m_f->Doc().Store().Add(r);
        QTRY_VERIFY(bold(kToday));
        m_f->Doc().Store().Remove({id});
        QTRY_VERIFY(!bold(kToday));
    }

    void statisticsChartRendersAndSaves_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("starts");
        QTest::newRow("PNG") << "png"
                             << "nets.png" << QByteArray("\x89PNG");
        QTest::newRow("SVG") << "svg"
                             << "nets.svg" << QByteArray("<?xml");
        QTest::newRow("never over the log") << "png"
                                            << "Logwarden-97.db" << QByteArray("SQLite format 3");
    }
    void statisticsChartRendersAndSaves()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(QByteArray, starts);
        Start(kHistory + QStringList{"2026-01-05 19:01 K1AAA", "2026-01-05 19:02 N0NEW"});
        const QString path = m_f->Scratch().File(name);
        m_f->Prompts().Choose(path);
        QStringList bars, table;
        m_f->Prompts().OnDialog<CNetStatisticsDlg>([&](CNetStatisticsDlg& dlg) {
            QVERIFY(dlg.ChartView()->isVisible());
            const auto* series = qobject_cast<QStackedBarSeries*>(dlg.ChartView()->chart()->series().front());
            for (QBarSet* set : series->barSets()) {
                QStringList values;
                for (int i = 0; i < set->count(); ++i)
                    values << QString::number(set->at(i));
                bars << set->label() + ": " + values.join(' ');
            }
            for (int r = 0; r < dlg.Table()->rowCount(); ++r)
                table << dlg.Table()->item(r, 0)->text() + " " + dlg.Table()->item(r, 2)->text();
            (button == "png" ? dlg.SavePngButton() : dlg.SaveSvgButton())->click();
        });
        Commands().netStatistics->trigger();
        // Nets of 12/15, 12/22, 12/29, 12/31 and 01/05: returning below, new above.
        QCOMPARE(bars, (QStringList{"Returning stations: 0 0 2 0 1", "New stations: 1 2 0 1 1"}));
        QCOMPARE(table, (QStringList{"K1AAA 3", "W2BBB 2", "N0NEW 1", "K9XYZ 1", "N3CCC 1"}));
        QVERIFY(ReadFile(path).startsWith(starts));
        if (name.endsWith(".db"))
            QVERIFY(m_f->Prompts().Last().contains("Logwarden-97.db"));
    }

    void dockedScriptKeepsTheFocusInTheCallBox()
    {
        Start({});
        WriteFile(m_f->Scratch().File("preamble.rtf"),
                  "{\\rtf1 This is <NCS>, net control, on <date> at <TIME>.\\par " +
                      QByteArray("Line\\par ").repeated(200) + "}");
        m_f->Settings().Set(Setting::RosterName[0], QStringLiteral("Ann"));
        m_f->Settings().Set(Setting::RosterCall[0], QStringLiteral("W4AAA"));
        m_f->Doc().Form().SelectDay(QDate(2026, 1, 4)); // a Sunday
        m_f->Focus(Form().CallSignBox());
        Commands().netScript->trigger();
        QDockWidget* dock = Aids().ScriptDock();
        QVERIFY(dock->isVisible());
        QVERIFY(Aids().ScriptText()->toPlainText().startsWith(
            QStringLiteral("This is Ann (W4AAA), net control, on Sunday, January 4, 2026 at ")));
        QTest::keyClicks(Form().CallSignBox(), "K1");
        QScrollBar* bar = Aids().ScriptText()->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        QTest::keyClick(Form().CallSignBox(), Qt::Key_PageDown, Qt::AltModifier);
        QVERIFY(bar->value() > 0);
        QVERIFY(Form().CallSignBox()->hasFocus());
        QTest::keyClicks(Form().CallSignBox(), "A");
        QCOMPARE(Form().CallSignBox()->text(), QStringLiteral("K1A"));
        // Remembered for the next run.
        QVERIFY(m_f->Settings().Get(Setting::NetScriptDocked));
        m_f->Restart();
        QVERIFY(m_f->Frame().Commands().netScript->isChecked());
        QVERIFY(m_f->Frame().findChild<CNetAidsModule*>()->ScriptDock()->isVisible());
    }
};

QTEST_MAIN(TestNetOperator)
#include "tst_netoperator.moc"
