// "Update" on the "FCC DB: " bar and the update at start: the daily files applied in the background, F7
// finding yesterday's licence afterwards, and the status dialog saying what the database holds.
#include "core/fcc/FccDbState.h"
#include "core/fcc/FccLookup.h"
#include "gui/app/Commands.h"
#include "gui/fcc/FccDbInfoDlg.h"
#include "gui/fcc/FccUpdateModule.h"
#include "gui/log/LogwardenView.h"
#include "support/HttpServer.h"
#include "support/UlsDailies.h"
#include "support/UlsFiles.h"
#include "support/gui/GuiFixture.h"

#include <QLineEdit>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDateTime kThursdayMorning(QDate(2025, 6, 5), QTime(8, 30));

} // namespace

class TestFccUpdate : public QObject
{
    Q_OBJECT

    CScratch m_data;
    CUlsDailySet m_set;
    QString m_weeklyDb;
    QString m_finalDb;
    std::unique_ptr<CHttpServer> m_server;
    std::unique_ptr<CGuiFixture> m_f;

    CFccUpdateModule& Module() { return *m_f->Frame().findChild<CFccUpdateModule*>(); }
    QLineEdit* Box(const char* name)
    {
        return m_f->Frame().FormView()->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QString Db() const { return m_f->Scratch().File(QStringLiteral("FCC97.db")); }
    // The window on the weekly's database, the dailies served as the FCC serves them.
    void Open(const QDateTime& now, const QStringList& served, bool updateAtStart = false)
    {
        m_server = std::make_unique<CHttpServer>();
        for (const QString& name : served)
            ServeFile(*m_server, QStringLiteral("/daily/") + name, m_set.DailyZip(name));
        m_f = std::make_unique<CGuiFixture>(now);
        QVERIFY(QFile::copy(m_weeklyDb, Db()));
        m_f->Settings().Set(Setting::FccDailyUrl, m_server->Url(QStringLiteral("/daily")));
        m_f->Settings().Set(Setting::FccStorageLocation, m_f->Scratch().File(QStringLiteral("fcc")));
        m_f->Settings().Set(Setting::FccUpdateAtStart, updateAtStart);
        if (updateAtStart)
            m_f->Restart();
    }
    // F4, the call, F7: the name F7 fills in.
    QString F7(const QString& call)
    {
        m_f->Frame().activateWindow();
        QTest::keyClick(&m_f->Frame(), Qt::Key_F4);
        QTest::keyClicks(Box("callSign"), call);
        QTest::keyClick(&m_f->Frame(), Qt::Key_F7);
        return Box("name")->text();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString why;
        if (!m_set.Make(m_data.File(QStringLiteral("set")), 1000, 3, 0.02, {}, &why))
            QSKIP(qPrintable(why));
        m_weeklyDb = m_data.File(QStringLiteral("weekly.db"));
        m_finalDb = m_data.File(QStringLiteral("final.db"));
        QCOMPARE(BuildFccDb(m_set.Weekly(), m_weeklyDb).state, CFccDbBuild::Succeeded);
        QCOMPARE(BuildFccDb(m_set.Final(), m_finalDb).state, CFccDbBuild::Succeeded);
    }
    void cleanup()
    {
        m_f.reset();
        m_server.reset();
    }

    void updateAppliesTheDaysAndF7FindsYesterdaysLicence()
    {
        Open(kThursdayMorning, {"l_am_mon.zip", "l_am_tue.zip", "l_am_wed.zip"});
        QVERIFY(!Module().IsUpdating()); // not ticked: nothing at start
        // A licence granted yesterday, its call sign not held before.
        QString call;
        CFccDatabase weekly;
        for (const auto& c : m_set.Changes())
            if (c.day == 3 && c.kind == QLatin1String("new") && !weekly.LookUp(m_weeklyDb, c.call).found)
                call = c.call;
        QVERIFY(!call.isEmpty());
        CFccDatabase final;
        const QString name = final.LookUp(m_finalDb, call).name;
        QVERIFY(!name.isEmpty());
        QCOMPARE(F7(call), QString());

        QSignalSpy finished(&Module(), &CFccUpdateModule::updateFinished);
        m_f->Frame().Commands().fccUpdate->trigger();
        QVERIFY(Module().IsUpdating());
        QVERIFY(!m_f->Frame().Commands().fccUpdate->isEnabled());
        QVERIFY(m_f->Frame().Progress().Task(QStringLiteral("fccUpdateProgress")));
        QVERIFY(finished.wait(60000));
        QCOMPARE(m_f->Frame().StatusText(),
                 QStringLiteral("The FCC licence database is current: it holds 2025-06-04."));
        QVERIFY(m_f->Frame().Commands().fccUpdate->isEnabled());
        QVERIFY(!m_f->Frame().Progress().Task(QStringLiteral("fccUpdateProgress")));
        QCOMPARE(m_f->Prompts().Shown(), QStringList());
        QCOMPARE(F7(call), name);
    }

    void updateAtStartWhenTheDatabaseIsBehind_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("holds");
        QTest::newRow("ticked, three days behind") << true << kThursdayMorning << QDate(2025, 6, 4);
        QTest::newRow("not ticked") << false << kThursdayMorning << QDate(2025, 6, 1);
        QTest::newRow("ticked, a day old is current")
            << true << QDateTime(QDate(2025, 6, 2), QTime(8, 0)) << QDate(2025, 6, 1);
    }
    void updateAtStartWhenTheDatabaseIsBehind()
    {
        QFETCH(bool, ticked);
        QFETCH(QDateTime, now);
        Open(now, {"l_am_mon.zip", "l_am_tue.zip", "l_am_wed.zip"}, ticked);
        QCOMPARE(m_f->Frame().Commands().fccUpdateAtStart->isChecked(), ticked);
        QSignalSpy finished(&Module(), &CFccUpdateModule::updateFinished);
        QTest::qWait(100); // the window's first turn of the event loop
        if (Module().IsUpdating())
            QVERIFY(finished.wait(60000));
        QTEST(FccDbState::ReadFile(Db()).appliedDate, "holds");
        QCOMPARE(m_f->Prompts().Shown(), QStringList());
    }

    void aGapIsSaidAndAsksForTheWeekly()
    {
        Open(kThursdayMorning, {"l_am_mon.zip", "l_am_wed.zip"});
        QSignalSpy finished(&Module(), &CFccUpdateModule::updateFinished);
        m_f->Frame().Commands().fccUpdate->trigger();
        QVERIFY(finished.wait(60000));
        QCOMPARE(m_f->Prompts().Shown().size(), 1);
        QVERIFY2(m_f->Prompts().Last().contains(QLatin1String("l_am_tue.zip) is not published")),
                 qPrintable(m_f->Prompts().Last()));
        QVERIFY(m_f->Prompts().Last().contains(QLatin1String("compile the weekly archive")));
        QCOMPARE(FccDbState::ReadFile(Db()).appliedDate, QDate(2025, 6, 2));
    }

    void theStatusDialogSaysWhatTheDatabaseHolds()
    {
        Open(kThursdayMorning, {"l_am_mon.zip", "l_am_tue.zip", "l_am_wed.zip"});
        QStringList texts;
        const auto look = [&texts](CFCCDbInfoDlg& dlg) {
            texts << dlg.WeeklyText() << dlg.DailyText();
            dlg.reject();
        };
        m_f->Prompts().OnDialog<CFCCDbInfoDlg>(look);
        m_f->Frame().Commands().fccDbStatus->trigger();
        QSignalSpy finished(&Module(), &CFccUpdateModule::updateFinished);
        m_f->Frame().Commands().fccUpdate->trigger();
        QVERIFY(finished.wait(60000));
        m_f->Prompts().OnDialog<CFCCDbInfoDlg>(look);
        m_f->Frame().Commands().fccDbStatus->trigger();
        QCOMPARE(texts, (QStringList{"2025-06-01 (l_amat.zip)", "None", "2025-06-01 (l_amat.zip)",
                                     "2025-06-04 (l_am_wed.zip)"}));
    }
};

QTEST_MAIN(TestFccUpdate)
#include "tst_fccupdate.moc"
