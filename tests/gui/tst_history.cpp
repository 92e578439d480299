// The call-sign history: its list, count and see-all toggle, its placement, the ways to open it, and
// the lazy filling of the whole log.
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "gui/app/LeftView.h"
#include "gui/log/DayListModel.h"
#include "gui/log/HistoryDlg.h"
#include "gui/log/HistoryModel.h"
#include "gui/log/LogwardenView.h"
#include "gui/log/NetLogTools.h"
#include "support/gui/GuiFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>
#include <SQLiteCpp/Database.h>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

QDateTime At(int daysBefore, int minute = 0)
{
    return QDateTime(kDay.addDays(-daysBefore), QTime(19, minute));
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;

    CLogwardenView& Form() { return *m_f->Frame().FormView(); }
    CNetLogTools& Tools() { return *m_f->Frame().findChild<CNetLogTools*>(); }
    QString Cell(const CHistoryDlg& dlg, int row, int column)
    {
        return dlg.Model()->data(dlg.Model()->index(row, column), Qt::DisplayRole).toString();
    }
    QStringList Column(const CHistoryDlg& dlg, int column)
    {
        QStringList out;
        for (int r = 0; r < dlg.Model()->rowCount(); ++r)
            out << Cell(dlg, r, column);
        return out;
    }
    // A dialog shown the way the form shows it, once its list is filled.
    std::unique_ptr<CHistoryDlg> Open(const QString& call)
    {
        auto dlg = std::make_unique<CHistoryDlg>(m_f->Db(), m_f->Settings(), call, &Form());
        dlg->show();
        if (!QTest::qWaitFor([&] { return !dlg->CountLabel()->text().isEmpty(); }, 3000))
            qWarning("the history list was not filled");
        return dlg;
    }
    // Which call sign the next history dialog opens for; closes it.
    QString NextHistoryCall(QString* label = nullptr)
    {
        // The dialog opens from the event loop, after the key or click that asked for it.
        QString call = QStringLiteral("<no dialog>");
        m_f->Prompts().OnDialog<CHistoryDlg>([&call, label](CHistoryDlg& dlg) {
            call = dlg.CallSign();
            if (!QTest::qWaitFor([&dlg] { return !dlg.CountLabel()->text().isEmpty(); }, 3000))
                qWarning("the history list was not filled");
            if (label)
                *label = dlg.CountLabel()->text();
            dlg.reject();
        });
        if (!QTest::qWaitFor([this] { return m_f->Prompts().DialogStepsLeft() == 0; }, 5000))
            qWarning("no history dialog");
        return call;
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<CGuiFixture>(QDateTime(kDay, QTime(19, 30)));
        m_f->Frame().activateWindow();
    }
    void cleanup() { m_f.reset(); }

    void newestFirstWithCount()
    {
        AddCheckin(m_f->Db(), {"W4ABC", At(14), "Jane", "first"});
        AddCheckin(m_f->Db(), {"K1XYZ", At(14, 1), "Bob"});
        AddCheckin(m_f->Db(), {"w4abc", At(7), "Jane", "second", false, true, false});
        AddCheckin(m_f->Db(), {"W4ABCD", At(7, 1), "Other"});
        AddCheckin(m_f->Db(), {"W4ABC", At(0), "Jane D.", "third", true, false, true, "Springfield",
                               "1 Elm St", "G", "EM84", "jane@example.org"});
        const auto dlg = Open(QStringLiteral("W4ABC"));
        QCOMPARE(dlg->CountLabel()->text(), QStringLiteral("3 Occurrences of --> W4ABC <-- found"));
        QCOMPARE(Column(*dlg, CHistoryModel::ColNumber), (QStringList{"1", "2", "3"}));
        QCOMPARE(Column(*dlg, CHistoryModel::ColId), (QStringList{"5", "3", "1"}));
        QCOMPARE(Column(*dlg, CHistoryModel::ColComment), (QStringList{"third", "second", "first"}));
        QCOMPARE(Column(*dlg, CHistoryModel::ColTraffic), (QStringList{"False", "True", "False"}));
        QCOMPARE(Column(*dlg, CHistoryModel::ColHasComments), (QStringList{"True", "False", "False"}));
        QCOMPARE(Column(*dlg, CHistoryModel::ColDate),
                 (QStringList{"03/07/2024", "02/29/2024", "02/22/2024"}));
        QCOMPARE(Cell(*dlg, 0, CHistoryModel::ColEmail), QStringLiteral("jane@example.org"));
        QCOMPARE(Cell(*dlg, 0, CHistoryModel::ColLocation), QStringLiteral("Springfield"));
        QCOMPARE(Cell(*dlg, 0, CHistoryModel::ColClass), QStringLiteral("G"));
        // Headers, widths and the pastel rows of the day list.
        QStringList headers;
        for (int c = 0; c < CHistoryModel::ColumnCount; ++c)
            headers << dlg->Model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headers, (QStringList{"#", "ID", "Call", "Name", "Street", "Location", "eMail", "Class",
                                       "Date", "Traffic", "Comments", "Comments"}));
        QCOMPARE(dlg->List()->columnWidth(CHistoryModel::ColComment), 500);
        QCOMPARE(dlg->Model()->data(dlg->Model()->index(0, 0), Qt::BackgroundRole).value<QColor>(),
                 QColor(249, 233, 249));
        QCOMPARE(dlg->Model()->data(dlg->Model()->index(1, 0), Qt::BackgroundRole).value<QColor>(),
                 QColor(233, 249, 249));

        // See All Records, twice.
        dlg->SeeAllButton()->click();
        QCOMPARE(dlg->CountLabel()->text(), QStringLiteral("5 Occurrences of --> * <-- found"));
        QCOMPARE(Column(*dlg, CHistoryModel::ColId), (QStringList{"5", "4", "3", "2", "1"}));
        dlg->SeeAllButton()->click();
        QCOMPARE(dlg->CountLabel()->text(), QStringLiteral("3 Occurrences of --> W4ABC <-- found"));
        QCOMPARE(dlg->RecordCount(), 3L);
    }

    void emptyResults_data()
    {
        QTest::addColumn<bool>("logged");
        QTest::addColumn<QString>("call");
        QTest::newRow("call never logged") << true << "N0BODY";
        QTest::newRow("empty call box") << true << "";
        QTest::newRow("empty log") << false << "W4ABC";
    }
    void emptyResults()
    {
        QFETCH(bool, logged);
        QFETCH(QString, call);
        if (logged)
            AddCheckin(m_f->Db(), {"W4ABC", At(1)});
        const auto dlg = Open(call);
        QCOMPARE(dlg->Model()->rowCount(), 0);
        QCOMPARE(dlg->CountLabel()->text(), QStringLiteral("0 Occurrences of --> %1 <-- found").arg(call));
        dlg->SeeAllButton()->click();
        QCOMPARE(dlg->Model()->rowCount(), logged ? 1 : 0);
        QCOMPARE(dlg->CountLabel()->text(),
                 QStringLiteral("%1 Occurrences of --> * <-- found").arg(logged ? 1 : 0));
        QCOMPARE(m_f->Prompts().Shown(), QStringList()); // no error on an empty log
    }

    void aBrokenLogSaysNoHistory()
    {
        AddCheckin(m_f->Db(), {"W4ABC", At(1)});
        m_f->Db().Execute(
            QStringLiteral("PRAGMA legacy_alter_table=ON; ALTER TABLE LogwardenTab RENAME TO Elsewhere"));
        const auto dlg = Open(QStringLiteral("W4ABC"));
        QVERIFY(m_f->Prompts().Last().startsWith(QLatin1String("No History")));
        QCOMPARE(dlg->Model()->rowCount(), 0);
        QCOMPARE(dlg->CountLabel()->text(), QStringLiteral("0 Occurrences of --> W4ABC <-- found"));
    }

    void placementIsSavedWithOkOnly()
    {
        {
            const auto dlg = Open(QStringLiteral("W4ABC"));
            QCOMPARE(dlg->pos(), QPoint(100, 100));
            QCOMPARE(dlg->size(), QSize(500, 700));
            dlg->move(150, 120);
            dlg->resize(620, 410);
            dlg->reject();
        }
        QCOMPARE(m_f->Settings().Get(Setting::HistLeft), 100);
        QVERIFY(!m_f->Settings().Contains(Setting::HistRight));
        {
            const auto dlg = Open(QStringLiteral("W4ABC"));
            QCOMPARE(dlg->pos(), QPoint(100, 100));
            dlg->move(150, 120);
            dlg->resize(620, 410);
            dlg->accept();
        }
        QCOMPARE(m_f->Settings().Get(Setting::HistLeft), 150);
        QCOMPARE(m_f->Settings().Get(Setting::HistTop), 120);
        QCOMPARE(m_f->Settings().Get(Setting::HistRight), 770);
        QCOMPARE(m_f->Settings().Get(Setting::HistBottom), 530);
        m_f->Restart();
        const auto dlg = Open(QStringLiteral("W4ABC"));
        QCOMPARE(dlg->pos(), QPoint(150, 120));
        QCOMPARE(dlg->size(), QSize(620, 410));
    }

    void openedFromTheFormForTheCallInTheBox()
    {
        AddCheckin(m_f->Db(), {"W4ABC", At(7)});
        AddCheckin(m_f->Db(), {"K1XYZ", At(0)});
        AddCheckin(m_f->Db(), {"W4ABC", At(0, 1)});
        m_f->Restart();
        Form().RefreshList();
        QCOMPARE(Form().DayListModel()->rowCount(), 2);

        // Double click on the second row: its call sign goes into the box, then the history opens for it.
        QTableView* list = Form().DayList();
        const QRect cell = list->visualRect(Form().DayListModel()->index(1, CDayListModel::ColName));
        QString label;
        // A real double click: press, release, then the double click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(Form().CallSignBox()->text(), QStringLiteral("W4ABC"));
        QCOMPARE(NextHistoryCall(&label), QStringLiteral("W4ABC"));
        QCOMPARE(label, QStringLiteral("2 Occurrences of --> W4ABC <-- found"));

        // "&History" for whatever the box holds.
        Form().CallSignBox()->setText(QStringLiteral("K1XYZ"));
        QTimer::singleShot(0, Tools().HistoryButton(), &QPushButton::click);
        QCOMPARE(NextHistoryCall(&label), QStringLiteral("K1XYZ"));
        QCOMPARE(label, QStringLiteral("1 Occurrences of --> K1XYZ <-- found"));
        QCOMPARE(Tools().HistoryButton()->text(), QStringLiteral("&History"));
    }

    void altHInTheFormIsHistoryElsewhereTheHelpMenu()
    {
        Form().CallSignBox()->setText(QStringLiteral("W4ABC"));
        m_f->Focus(Form().CallSignBox());
        QTimer::singleShot(0,
                           [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier); });
        QCOMPARE(NextHistoryCall(), QStringLiteral("W4ABC"));
        QCOMPARE(Form().CallSignBox()->text(), QStringLiteral("W4ABC")); // no "h" typed into the box

        // From the day list as well.
        m_f->Focus(Form().DayList());
        QTimer::singleShot(0,
                           [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier); });
        QCOMPARE(NextHistoryCall(), QStringLiteral("W4ABC"));

        // In the day tree, Alt+H is the Help menu's.
        const qsizetype dialogs = m_f->Prompts().Dialogs().size();
        m_f->Focus(m_f->Frame().LeftView());
        QTest::keyClick(m_f->Frame().LeftView(), Qt::Key_H, Qt::AltModifier);
        QMenu* help = nullptr;
        for (QAction* a : m_f->Frame().menuBar()->actions())
            if (a->text() == QLatin1String("&Help"))
                help = a->menu();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        help->close();
        QCoreApplication::processEvents();
        QCOMPARE(m_f->Prompts().Dialogs().size(), dialogs);
    }

    void theWholeLogIsReadAsItIsScrolled()
    {
        // 20,000 check-ins: the see-all list opens with one page read, and the last row is read when it is
        // scrolled to.
        SQLite::Database& h = m_f->Db().Handle();
        h.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
               "INSERT INTO LogwardenTab (CallSign, Name, \"Date\") SELECT 'K' || i, 'Op ' || i, "
               "'2024-03-07 19:00:00' FROM n");
        const auto dlg = Open(QStringLiteral("K1"));
        dlg->SeeAllButton()->click();
        QCOMPARE(dlg->CountLabel()->text(), QStringLiteral("20000 Occurrences of --> * <-- found"));
        QCOMPARE(dlg->Model()->rowCount(), 20000);
        QApplication::processEvents();
        QVERIFY2(dlg->Model()->PagesRead() <= 3, qPrintable(QString::number(dlg->Model()->PagesRead())));
        QCOMPARE(Cell(*dlg, 0, CHistoryModel::ColCall), QStringLiteral("K20000"));
        dlg->List()->scrollToBottom();
        QApplication::processEvents();
        QCOMPARE(Cell(*dlg, 19999, CHistoryModel::ColCall), QStringLiteral("K1"));
        QCOMPARE(Cell(*dlg, 19999, CHistoryModel::ColNumber), QStringLiteral("20000"));
        QVERIFY(dlg->Model()->PagesRead() <= 6);
        QCOMPARE(dlg->Model()->LastError(), QString());
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
