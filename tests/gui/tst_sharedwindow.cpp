// The window on a shared club log: the settings dialog, the status pane, what others log arriving in the
// day list, and a conflict settled through its dialog. Against a real PostgreSQL server.
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"
#include "core/shared/SyncEngine.h"
#include "gui/log/DayListModel.h"
#include "gui/log/LogwardenView.h"
#include "gui/shared/ConflictDlg.h"
#include "gui/shared/SharedLogDlg.h"
#include "gui/shared/SharedLogModule.h"
#include "support/PgServer.h"
#include "support/gui/GuiFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace TestSupport;

class TestSharedWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<CPgServer> m_server;

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<CPgServer>();
        QVERIFY2(m_server->Error().isEmpty(), qPrintable(m_server->Error()));
        CPgConnection owner(m_server->ConnInfo(), QString(), QStringLiteral("test"));
        SharedServer::Init(owner);
    }

    void statusTexts_data()
    {
        QTest::addColumn<bool>("online");
        QTest::addColumn<int>("operators");
        QTest::addColumn<int>("pending");
        QTest::addColumn<int>("conflicts");
        QTest::addColumn<QString>("text");
        QTest::newRow("online") << true << 3 << 0 << 0 << QStringLiteral("Shared: online \u00b7 3 operators");
        QTest::newRow("alone") << true << 1 << 0 << 0 << QStringLiteral("Shared: online \u00b7 1 operator");
        QTest::newRow("offline") << false << 0 << 4 << 0 << QStringLiteral("Shared: offline, 4 pending");
        QTest::newRow("a conflict") << true << 2 << 1 << 1
                                    << QStringLiteral(
                                           "Shared: online \u00b7 2 operators, 1 pending \u00b7 1 conflict");
    }
    void statusTexts()
    {
        QFETCH(bool, online);
        QFETCH(int, operators);
        QFETCH(int, pending);
        QFETCH(int, conflicts);
        QFETCH(QString, text);
        CSyncStatus s;
        s.online = online;
        s.operators = operators;
        s.pending = pending;
        s.conflicts = conflicts;
        QCOMPARE(CSharedLogModule::StatusText(s), text);
    }

    void aTeamRunsOneNet()
    {
        CGuiFixture f(QDateTime(QDate(2026, 12, 8), QTime(19, 0)));
        auto* module = f.Frame().findChild<CSharedLogModule*>();
        QTableView* list = f.Frame().FormView()->DayList();
        QVERIFY(list->isColumnHidden(CDayListModel::ColBy));
        auto* status = f.Frame().findChild<QLabel*>(QStringLiteral("sharedStatus"));
        QVERIFY(!status->isVisible());

        // Settings ▸ Shared Log...
        f.Prompts().OnDialog<CSharedLogDlg>([&](CSharedLogDlg& d) {
            d.findChild<QCheckBox*>(QStringLiteral("sharedEnabled"))->setChecked(true);
            d.findChild<QLineEdit*>(QStringLiteral("sharedServer"))->setText(m_server->ConnInfo());
            d.findChild<QLineEdit*>(QStringLiteral("sharedNet"))->setText(QStringLiteral("Tuesday Net"));
            d.findChild<QCheckBox*>(QStringLiteral("sharedCreateNet"))->setChecked(true);
            d.findChild<QLineEdit*>(QStringLiteral("sharedOperator"))->setText(QStringLiteral("n4ncs"));
            d.accept();
        });
        f.Frame().findChild<QAction*>(QStringLiteral("sharedLogAction"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith(QLatin1String("Shared: online")), 15000);
        QVERIFY(!list->isColumnHidden(CDayListModel::ColBy));

        // The NCS logs a station; a logger on another computer logs another one.
        CCheckinForm& form = f.Doc().Form();
        CCheckinRecord entry;
        entry.callSign = QStringLiteral("W1AW");
        form.NewStation(true);
        form.SetEntry(entry);
        QVERIFY(form.Add());
        CDatabase otherDb(f.Scratch().File(QStringLiteral("logger.db")));
        LogSchema::Prepare(otherDb);
        CCheckinStore other(otherDb);
        other.ShareWith(QStringLiteral("Tuesday Net"), QStringLiteral("K4LOG"));
        CSyncEngine otherEngine(other, {m_server->ConnInfo(), QString(), QStringLiteral("Tuesday Net"),
                                        QStringLiteral("K4LOG"), QString()});
        CCheckinRecord k1abc;
        k1abc.callSign = QStringLiteral("K1ABC");
        k1abc.date = CDateTime(QDate(2026, 12, 8), QTime(19, 1));
        other.Add(k1abc);
        otherEngine.SyncOnce();
        CDayListModel* model = f.Frame().FormView()->DayListModel();
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 2, 15000);
        const int row = model->RowOfId(form.Rows()[1].id);
        QCOMPARE(model->Row(row).callSign, QStringLiteral("K1ABC"));
        QCOMPARE(model->index(row, CDayListModel::ColBy).data().toString(), QStringLiteral("K4LOG"));
        QVERIFY(model->IsFlashing(model->Row(row).id));
        QCOMPARE(model->index(0, CDayListModel::ColBy).data().toString(), QStringLiteral("N4NCS"));

        // Both rename W1AW while the window is away from the server: a conflict, settled in its dialog.
        module->Engine()->Stop(false);
        otherEngine.SyncOnce();
        CCheckinRecord theirs;
        for (const CCheckinRecord& r : other.Day(QDate(2026, 12, 8)))
            if (r.callSign == QLatin1String("W1AW"))
                theirs = r;
        QVERIFY(theirs.id != 0);
        theirs.name = QStringLiteral("Percy");
        QVERIFY(other.Save(theirs));
        otherEngine.SyncOnce();
        CCheckinRecord mine = form.Rows()[0];
        mine.name = QStringLiteral("Hiram");
        QVERIFY(f.Doc().Store().Save(mine));
        module->Engine()->Start();
        QTRY_VERIFY_WITH_TIMEOUT(form.Rows()[0].conflict, 15000);
        QVERIFY(model->index(0, CDayListModel::ColBy).data().toString().contains(QLatin1String("conflict")));
        QVERIFY(form.MoveTo(0));
        auto* resolve = f.Frame().findChild<QAction*>(QStringLiteral("resolveConflictAction"));
        QVERIFY(resolve->isEnabled());
        f.Prompts().OnDialog<CConflictDlg>([](CConflictDlg& d) {
            d.TakeAllTheirs();
            d.accept();
        });
        resolve->trigger();
        QVERIFY(!form.Rows()[0].conflict);
        QCOMPARE(form.Rows()[0].name, QStringLiteral("Percy"));
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Shared: online \u00b7 2 operators"), 15000);
    }
};

QTEST_MAIN(TestSharedWindow)
#include "tst_sharedwindow.moc"
