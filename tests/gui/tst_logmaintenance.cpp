// Export, purge and emptying from the main window: the file dialog, the overwrite question, the status
// texts, the purge dialog's counts and deletion, and emptying the log (twice).
#include "core/db/Database.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogExport.h"
#include "core/log/LogQueries.h"
#include "gui/log/DayListModel.h"
#include "gui/log/LogwardenView.h"
#include "gui/log/NetLogTools.h"
#include "gui/log/RecordPurgeDlg.h"
#include "support/gui/GuiFixture.h"
#include "support/gui/ModalWatch.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
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
    // Answers the export's file dialog with the path (empty: cancel) and keeps the name it proposed.
    void AnswerFileDialog(const QString& path, QString* proposed = nullptr)
    {
        WhenModal<QFileDialog>(&m_f->Frame(), [path, proposed](QFileDialog* dlg) {
            if (proposed) {
                const QLineEdit* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                *proposed = name ? name->text() : QStringLiteral("<no name box>");
            }
            if (path.isEmpty()) {
                dlg->reject();
                return;
            }
            // As the operator would: the folder, then the name typed into the name box.
            dlg->setDirectory(QFileInfo(path).absolutePath());
            if (QLineEdit* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(QFileInfo(path).fileName());
            static_cast<QDialog*>(dlg)->accept(); // the file dialog's own accept, as its Save button
        });
    }
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
        QString proposed;
        AnswerFileDialog(path, &proposed);
        Commands().exportDay->trigger();
        QCOMPARE(proposed, QStringLiteral("Logwarden_2024-3-7"));
        QCOMPARE(ReadFile(path), QByteArray("Num|UUID|Ack|Call|Name|Street|City State Zip|Class|Date|Comment\n"
                                        "1|2|0|K1B|||||03/07/2024|\n"
                                        "2|3|1|K1C|Carl||||03/07/2024|a|b\n"));
        QCOMPARE(Status(), QStringLiteral("net.txt written to disk."));
        // The form's day and position are untouched.
        QCOMPARE(Form().DayListModel()->rowCount(), 2);
    }

    void fullExportWithAnEmptyDaySelected()
    {
        LogNets();
        Form().OnDaySelected(QStringLiteral("2024 03 09"));
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
        QString question;
        AnswerFileDialog(path);
        m_f->AnswerNextMessageBox(QMessageBox::No, &question);
        Commands().exportDay->trigger();
        QCOMPARE(question, QStringLiteral("File %1 exists! Overwrite?").arg(path));
        QCOMPARE(ReadFile(path), QByteArray("keep me\n"));

        AnswerFileDialog(path);
        m_f->AnswerNextMessageBox(QMessageBox::Yes);
        Commands().exportDay->trigger();
        QVERIFY2(ReadFile(path).startsWith("Num|UUID|"), ReadFile(path).constData());

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

        // TO 3/7: its midnight is the end, so the 19:30 check-in of that day stays outside.
        dlg->FromPicker()->setDate(QDate(2024, 3, 1));
        dlg->ToPicker()->setDate(kDay);
        QTRY_COMPARE(dlg->SelectedLabel()->text(),
                     QStringLiteral("Number of records SELECTED from database: 2"));
        QCOMPARE(dlg->FromPicker()->date(), QDate(2024, 3, 1));
        QCOMPARE(dlg->ToPicker()->date(), kDay);

        // No keeps everything; Yes deletes exactly the two, after saying how many.
        QString question;
        m_f->AnswerNextMessageBox(QMessageBox::No, &question);
        dlg->PurgeButton()->click();
        QCOMPARE(question, QStringLiteral("Purge the 2 check-in(s) dated from 03/01/2024 to 03/07/2024?\n\n"
                                          "They cannot be restored."));
        QCOMPARE(Total(), 5L);
        m_f->AnswerNextMessageBox(QMessageBox::Yes);
        dlg->PurgeButton()->click();
        QCOMPARE(Total(), 3L);
        QCOMPARE(Status(), QStringLiteral("2 check-in(s) purged."));
        QCOMPARE(dlg->ContainedLabel()->text(),
                 QStringLiteral("Number of records CONTAINED in database : 3"));
        QCOMPARE(dlg->SelectedLabel()->text(), QStringLiteral("Number of records SELECTED from database: 0"));
        QStringList left;
        CheckinQuery::ForEach(m_f->Db(), {}, QStringLiteral("ID"),
                              [&](const CCheckinRecord& r) { left << r.callSign; });
        QCOMPARE(left, (QStringList{"K1C", "K1D", "K1E"}));
        // The form's day shows what is left of it.
        QTRY_COMPARE(Form().DayListModel()->rowCount(), 1);

        // Nothing left in the range: nothing is asked, nothing deleted.
        QString none;
        m_f->AnswerNextMessageBox(QMessageBox::Yes, &none);
        dlg->PurgeButton()->click();
        QTest::qWait(50);
        QCOMPARE(none, QString());
        QCOMPARE(Status(), QStringLiteral("No check-ins in the selected range: nothing to purge."));

        // OK only hides; the dialog comes back with its dates and current counts.
        dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!dlg->isVisible());
        QCOMPARE(Total(), 3L);
        AddCheckin(m_f->Db(), {"K1F", QDateTime(QDate(2024, 3, 2), QTime(19, 0))});
        Commands().purge->trigger();
        QCOMPARE(Tools().PurgeDialog(), dlg);
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->FromPicker()->date(), QDate(2024, 3, 1));
        QCOMPARE(dlg->ContainedLabel()->text(),
                 QStringLiteral("Number of records CONTAINED in database : 4"));
        QCOMPARE(dlg->SelectedLabel()->text(), QStringLiteral("Number of records SELECTED from database: 1"));
    }

    void purgeDialogOnAnEmptyLog()
    {
        QString box;
        m_f->AnswerNextMessageBox(QMessageBox::Ok, &box);
        Commands().purge->trigger();
        CRecordPurgeDlg* dlg = Tools().PurgeDialog();
        QCOMPARE(dlg->ContainedLabel()->text(),
                 QStringLiteral("Number of records CONTAINED in database : 0"));
        QCOMPARE(dlg->FromPicker()->date(), kDay);
        dlg->ToPicker()->setDate(kDay.addDays(1));
        QTRY_COMPARE(dlg->SelectedLabel()->text(),
                     QStringLiteral("Number of records SELECTED from database: 0"));
        QTest::qWait(50);
        QCOMPARE(box, QString());
    }

    void emptyingTheDatabase()
    {
        LogNets();
        QString question;
        m_f->AnswerNextMessageBox(QMessageBox::No, &question);
        Commands().emptyDatabase->trigger();
        QCOMPARE(question, QStringLiteral("Remove All Entries?"));
        QCOMPARE(Status(), QStringLiteral("Okay, NOT removing any records..."));
        QCOMPARE(Total(), 5L);

        for (int round = 0; round < 2; ++round) {
            QString error;
            m_f->AnswerNextMessageBox(QMessageBox::Yes);
            Commands().emptyDatabase->trigger();
            QCOMPARE(Total(), 0L);
            QVERIFY(QFile::exists(m_f->Scratch().File(QStringLiteral("Logwarden-97.db"))));
            QTRY_COMPARE(Status(), QStringLiteral("No Checkins Recorded for selected Date"));
            QCOMPARE(Form().DayListModel()->rowCount(), 0);
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
