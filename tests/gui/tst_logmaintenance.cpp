// Export, purge and emptying from the main window: the file dialog, the overwrite question, the status
// texts, the purge dialog's counts and deletion, and emptying the log (twice).
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinQuery.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogExport.h"
#include "core/log/LogQueries.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/log/DayListModel.h"
#include "gui/log/LogwardenView.h"
#include "gui/log/NetLogTools.h"
#include "gui/log/RecordPurgeDlg.h"
#include "gui/widgets/ProgressPane.h"
#include "support/gui/GuiFixture.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

} // namespace

class TestLogMaintenance : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;

    CLogwardenView& Form() { return *m_f->Frame().FormView(); }
    CNetLogTools& Tools() { return *m_f->Frame().findChild<CNetLogTools*>(); }
    CCommands& Commands() { return m_f->Frame().Commands(); }
    long Total() { return CheckinQuery::Count(m_f->Db(), {}); }
    void LogNets()
    {
        AddCheckin(m_f->Db(), {"K1A", QDateTime(QDate(2024, 3, 1), QTime(19, 0))});
        AddCheckin(m_f->Db(), {"K1B", QDateTime(kDay, QTime(0, 0))});
        AddCheckin(m_f->Db(), {"K1C", QDateTime(kDay, QTime(19, 30)), "Carl", "a|b", true});
        AddCheckin(m_f->Db(), {"K1D", QDateTime(QDate(2024, 3, 14), QTime(19, 0))});
        AddCheckin(m_f->Db(), {"K1E", QDateTime(QDate(2024, 2, 1), QTime(19, 0))});
        m_f->Restart();
        Form().RefreshList();
    }
    // The name the export's file dialog returns (empty: cancel).
    void AnswerFileDialog(const QString& path) { m_f->Prompts().Choose(path); }
    QString Status() { return m_f->Frame().StatusText(); }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<CGuiFixture>(QDateTime(kDay, QTime(20, 15)));
        m_f->Frame().activateWindow();
    }
    void cleanup() { m_f.reset(); }

    void exportingTheDay()
    {
        LogNets();
        QVERIFY(Commands().exportDay->isEnabled());
        const QString path = m_f->Scratch().File(QStringLiteral("net.txt"));
        AnswerFileDialog(path);
        Commands().exportDay->trigger();
        QCOMPARE(m_f->Prompts().FileRequests().last().proposedName, QStringLiteral("Logwarden_2024-3-7"));
        QCOMPARE(ReadFile(path),
                 QByteArray("Num|UUID|Ack|Call|Name|Street|City State Zip|Class|Date|Comment\n"
                            "1|2|0|K1B|||||03/07/2024|\n"
                            "2|3|1|K1C|Carl||||03/07/2024|a|b\n"));
        QCOMPARE(Status(), QStringLiteral("net.txt written to disk."));
        // The form's day and position are untouched.
        QCOMPARE(Form().DayListModel()->rowCount(), 2);
    }

    void fullExportWithAnEmptyDaySelected()
    {
        LogNets();
        Form().Form().SelectDay(QDate(2024, 3, 9));
        const QString path = m_f->Scratch().File(QStringLiteral("all"));
        AnswerFileDialog(path);
        Commands().exportAll->trigger();
        // The default extension is added to a name without one.
        QVERIFY(!QFile::exists(path));
        const QByteArray all = ReadFile(path + QStringLiteral(".txt"));
        QCOMPARE(all.count('\n'), 6);
        QVERIFY(all.contains("5|5|0|K1E|||||02/01/2024|\n"));
        QCOMPARE(Status(), QStringLiteral("all.txt written to disk."));
        // The day of the form is still the empty one.
        QCOMPARE(Form().DayListModel()->rowCount(), 0);
    }

    void overwritingAsksFirst()
    {
        LogNets();
        const QString path = m_f->Scratch().File(QStringLiteral("old.txt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me\n");
        }
        AnswerFileDialog(path);
        m_f->Prompts().Answer(false);
        Commands().exportDay->trigger();
        QCOMPARE(m_f->Prompts().Last(), QStringLiteral("File %1 exists! Overwrite?").arg(path));
        QCOMPARE(ReadFile(path), QByteArray("keep me\n"));

        AnswerFileDialog(path);
        m_f->Prompts().Answer(true);
        Commands().exportDay->trigger();
        QVERIFY2(ReadFile(path).startsWith("Num|UUID|"), ReadFile(path).constData());

        // The log's own file is refused before any question, and the log goes on as it was.
        const QString log = m_f->Scratch().File(QStringLiteral("Logwarden-97.db"));
        AnswerFileDialog(log);
        const int asked = int(m_f->Prompts().Shown().size());
        Commands().exportAll->trigger();
        QCOMPARE(int(m_f->Prompts().Shown().size()), asked + 1);
        QVERIFY2(m_f->Prompts().Last().contains(QLatin1String("is the log")),
                 qPrintable(m_f->Prompts().Last()));
        QCOMPARE(Total(), 5L);

        // Cancelling the file dialog writes nothing.
        const QString before = Status();
        AnswerFileDialog(QString());
        Commands().exportAll->trigger();
        QCOMPARE(Status(), before);
    }

    void purgeDialogCountsAndPurges()
    {
        LogNets();
        Commands().purge->trigger();
        CRecordPurgeDlg* dlg = Tools().PurgeDialog();
        QVERIFY(dlg && dlg->isVisible());
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Record Purge Dialog"));
        QCOMPARE(dlg->ContainedLabel()->text(),
                 QStringLiteral("Number of records CONTAINED in database : 5"));
        QCOMPARE(dlg->SelectedLabel()->text(), QStringLiteral("Number of records SELECTED from database:"));
        QCOMPARE(dlg->FromPicker()->date(), QDate(2024, 2, 1));
        QCOMPARE(dlg->ToPicker()->date(), QDate(2024, 3, 14));

        // Both days are whole days: the 19:30 check-in of 3/7 is in the range.
        dlg->FromPicker()->setDate(QDate(2024, 3, 1));
        dlg->ToPicker()->setDate(kDay);
        QTRY_COMPARE(dlg->SelectedLabel()->text(),
                     QStringLiteral("Number of records SELECTED from database: 3"));
        QCOMPARE(dlg->FromPicker()->date(), QDate(2024, 3, 1));
        QCOMPARE(dlg->ToPicker()->date(), kDay);

        // No keeps everything; Yes deletes exactly the three, after saying how many.
        m_f->Prompts().Answer(false);
        dlg->PurgeButton()->click();
        QCOMPARE(m_f->Prompts().Last(), QStringLiteral("Purge the 3 check-in(s) dated from 03/01/2024 to "
                                                       "03/07/2024?\n\nThey cannot be restored."));
        QCOMPARE(Total(), 5L);
        m_f->Prompts().Answer(true);
        dlg->PurgeButton()->click();
        QCOMPARE(Total(), 2L);
        QCOMPARE(Status(), QStringLiteral("3 check-in(s) purged."));
        QCOMPARE(dlg->ContainedLabel()->text(),
                 QStringLiteral("Number of records CONTAINED in database : 2"));
        QCOMPARE(dlg->SelectedLabel()->text(), QStringLiteral("Number of records SELECTED from database: 0"));
        QStringList left;
        CheckinQuery::ForEach(m_f->Db(), {}, QStringLiteral("ID"),
                              [&](const CCheckinRecord& r) { left << r.callSign; });
        QCOMPARE(left, (QStringList{"K1D", "K1E"}));
        // The form's day shows what is left of it.
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 0);

        // Nothing left in the range: nothing is asked, nothing deleted.
        const int shown = int(m_f->Prompts().Shown().size());
        dlg->PurgeButton()->click();
        QCOMPARE(int(m_f->Prompts().Shown().size()), shown);
        QCOMPARE(Status(), QStringLiteral("No check-ins in the selected range: nothing to purge."));

        // OK only hides; the dialog comes back with its dates and current counts.
        dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!dlg->isVisible());
        QCOMPARE(Total(), 2L);
        AddCheckin(m_f->Db(), {"K1F", QDateTime(QDate(2024, 3, 2), QTime(19, 0))});
        Commands().purge->trigger();
        QCOMPARE(Tools().PurgeDialog(), dlg);
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->FromPicker()->date(), QDate(2024, 3, 1));
        QCOMPARE(dlg->ContainedLabel()->text(),
                 QStringLiteral("Number of records CONTAINED in database : 3"));
        QCOMPARE(dlg->SelectedLabel()->text(), QStringLiteral("Number of records SELECTED from database: 1"));
    }

    void purgeDialogOnAnEmptyLog()
    {
        Commands().purge->trigger();
        CRecordPurgeDlg* dlg = Tools().PurgeDialog();
        QCOMPARE(dlg->ContainedLabel()->text(),
                 QStringLiteral("Number of records CONTAINED in database : 0"));
        QCOMPARE(dlg->FromPicker()->date(), kDay);
        dlg->ToPicker()->setDate(kDay.addDays(1));
        QTRY_COMPARE(dlg->SelectedLabel()->text(),
                     QStringLiteral("Number of records SELECTED from database: 0"));
        QCOMPARE(m_f->Prompts().Shown(), QStringList());
    }

    void emptyingTheDatabase()
    {
        LogNets();
        m_f->Prompts().Answer(false);
        Commands().emptyDatabase->trigger();
        QCOMPARE(m_f->Prompts().Last(), QStringLiteral("Remove All Entries?"));
        QCOMPARE(Status(), QStringLiteral("Okay, NOT removing any records..."));
        QCOMPARE(Total(), 5L);

        for (int round = 0; round < 2; ++round) {
            m_f->Prompts().Answer(true);
            Commands().emptyDatabase->trigger();
            QCOMPARE(Total(), 0L);
            QVERIFY(QFile::exists(m_f->Scratch().File(QStringLiteral("Logwarden-97.db"))));
            QTRY_COMPARE(Status(), QStringLiteral("No Checkins Recorded for selected Date"));
            QCOMPARE(Form().DayListModel()->rowCount(), 0);
            // The file is made small again beside the window, which shows it until it is done.
            QTRY_VERIFY(!m_f->Frame().Progress().Task(QStringLiteral("compactProgress")));
            QVERIFY(!m_f->Doc().Store().IsCompacting());
        }

        // The form logs on the emptied log as before.
        Form().CallSignBox()->setText(QStringLiteral("W4NEW"));
        Form().OnNew();
        const auto day = LogQueries::DayCheckins(m_f->Db(), kDay);
        QCOMPARE(int(day.size()), 1);
        QCOMPARE(day[0].callSign, QStringLiteral("W4NEW"));
        QVERIFY(day[0].id > 5);
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 1);
    }
};

QTEST_MAIN(TestLogMaintenance)
#include "tst_logmaintenance.moc"
