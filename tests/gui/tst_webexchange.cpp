// The club web exchange in the window, against a real local HTTP server: the "Upload: " bar and auto mode,
// the password dialog, the pre-net check-ins with their marks and the move into the log, the EchoLink
// listing, and the net report.
#include "core/app/NetDetails.h"
#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "core/log/LogQueries.h"
#include "core/web/NetLogUploader.h"
#include "gui/app/NetSettingsDlg.h"
#include "gui/log/DayListPanel.h"
#include "gui/log/EntryPanel.h"
#include "gui/log/LogwardenView.h"
#include "gui/web/CredentialsDlg.h"
#include "gui/web/NetLogPublisher.h"
#include "gui/web/NetReportDlg.h"
#include "gui/web/PreNetPanel.h"
#include "gui/web/WebModule.h"
#include "gui/widgets/ProgressPane.h"
#include "support/HttpServer.h"
#include "support/UlsFiles.h"
#include "support/gui/GuiFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2026, 1, 5);
const QDateTime kNow(kDay, QTime(19, 2, 30));

} // namespace

class TestWebExchange : public QObject
{
    Q_OBJECT

    std::unique_ptr<CHttpServer> m_server;
    std::unique_ptr<CGuiFixture> m_f;

    CWebModule& Web() { return *m_f->Frame().findChild<CWebModule*>(); }
    CNetLogPublisher& Publisher() { return Web().Publisher(); }
    CPreNetPanel& PreNet() { return Web().PreNet(); }
    CLogwardenView& Form() { return *m_f->Frame().FormView(); }
    QString Status() { return m_f->Frame().StatusText(); }
    void Log(const QString& call)
    {
        QTest::keyClick(&m_f->Frame(), Qt::Key_F4);
        QTest::keyClicks(Form().CallSignBox(), call);
        QTest::keyClick(Form().CallSignBox(), Qt::Key_F5);
    }
    QList<CRecordedRequest> RequestsTo(const QString& path)
    {
        QList<CRecordedRequest> out;
        for (const CRecordedRequest& r : m_server->Requests())
            if (r.path.startsWith(path))
                out << r;
        return out;
    }
    int Shown(const QString& text) { return int(m_f->Prompts().Shown().count(text)); }
    QStringList PreNetRows()
    {
        QStringList out;
        QTableWidget* t = PreNet().PreNetList();
        for (int r = 0; r < t->rowCount(); ++r)
            out << QStringLiteral("%1|%2|%3|%4")
                       .arg(t->item(r, 0)->checkState() == Qt::Checked ? "1" : "0", t->item(r, 1)->text(),
                            t->item(r, 2)->text(), t->item(r, 3)->text());
        return out;
    }
    void RefreshPreNet()
    {
        QSignalSpy shown(&PreNet(), &CPreNetPanel::preNetShown);
        QTest::mouseClick(PreNet().RefreshButton(), Qt::LeftButton);
        QVERIFY(shown.wait(10000));
    }

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<CHttpServer>();
        m_f = std::make_unique<CGuiFixture>(kNow);
        m_f->Settings().Set(Setting::NetLogServer, m_server->Host());
        m_f->Settings().Set(Setting::PreNetServer, m_server->Host());
        m_f->Restart();
        m_f->Frame().activateWindow();
    }
    void cleanup()
    {
        m_f.reset();
        m_server.reset();
    }

    // Auto mode publishes after F5, in the background: F5 returns long before the slow server answers,
    // the window keeps taking check-ins, and the one logged meanwhile follows in one more upload.
    void autoModeUploadsWithoutBlocking()
    {
        m_server->Route("/cgi-bin/netlog.cgi", {{"delay_ms", 2000}, {"store", "served.html"}});
        QTest::mouseClick(Publisher().AutoModeBox(), Qt::LeftButton);
        QVERIFY(Publisher().IsAutoMode());
        QSignalSpy done(&Publisher(), &CNetLogPublisher::uploadFinished);
        QElapsedTimer t;
        t.start();
        Log("W4ABC");
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(m_f->Frame().Progress().Task("uploadProgress"));
        Log("K1XYZ");
        QCOMPARE(int(LogQueries::DayCheckins(m_f->Db(), kDay).size()), 2);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 15000);
        QVERIFY(done.at(0).at(0).toBool() && done.at(1).at(0).toBool());

        const QList<CRecordedRequest> posts = RequestsTo("/cgi-bin/netlog.cgi");
        QCOMPARE(posts.size(), 2);
        QCOMPARE(posts.last().method, QStringLiteral("POST"));
        QCOMPARE(posts.last().headers.value("content-type"), QStringLiteral("text/html; charset=iso-8859-1"));
        QFile saved(m_f->Scratch().File("NetLog.html"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(posts.last().body, saved.readAll());
        QVERIFY(posts.last().body.contains("W4ABC") && posts.last().body.contains("K1XYZ"));
        QFile served(m_server->Root() + "/served.html");
        QVERIFY(served.open(QIODevice::ReadOnly));
        QCOMPARE(served.readAll(), posts.last().body);
        QVERIFY2(Status().startsWith("Post took 2."), qPrintable(Status()));
        QCOMPARE(Publisher().LastUploadLabel()->text(), QStringLiteral("Last: 19:02:30"));
        QVERIFY(!m_f->Frame().Progress().Task("uploadProgress"));
    }

    // "Auto Mode", "Reverse" and the net's details (View > Net Settings) outlive a restart: the window
    // started again goes on publishing, with the names set, as before.
    void modesAndNetSettingsAfterARestart_data()
    {
        QTest::addColumn<bool>("autoMode");
        QTest::addColumn<bool>("reverse");
        QTest::addColumn<bool>("accept"); // OK in the net settings, else Cancel
        QTest::newRow("auto, names set") << true << false << true;
        QTest::newRow("auto and reverse, cancelled") << true << true << false;
        QTest::newRow("reverse only") << false << true << true;
    }
    void modesAndNetSettingsAfterARestart()
    {
        QFETCH(bool, autoMode);
        QFETCH(bool, reverse);
        QFETCH(bool, accept);
        m_server->Route("/cgi-bin/netlog.cgi", {{"body", "ok"}});
        m_f->Prompts().OnDialog<CNetSettingsDlg>([&](CNetSettingsDlg& dlg) {
            QCOMPARE(dlg.NetNameBox()->text(), QStringLiteral("Ostravel 2 Meter Net"));
            dlg.ClubNameBox()->setText(QStringLiteral("Smith & Sons <ARC>"));
            dlg.NetNameBox()->setText(QStringLiteral(" Smith 6m Net "));
            dlg.FrequencyBox()->clear(); // the default
            accept ? dlg.accept() : dlg.reject();
        });
        m_f->Frame().Commands().netSettings->trigger();
        if (autoMode)
            QTest::mouseClick(Publisher().AutoModeBox(), Qt::LeftButton);
        if (reverse)
            QTest::mouseClick(Publisher().ReverseBox(), Qt::LeftButton);

        m_f->Restart();
        m_f->Frame().activateWindow();
        QCOMPARE(Publisher().AutoModeBox()->isChecked(), autoMode);
        QCOMPARE(Publisher().ReverseBox()->isChecked(), reverse);
        CSettings onDisk(m_f->Scratch().File("config/Logwarden.ini"), m_f->Scratch().Path());
        QCOMPARE(onDisk.Get(Setting::NetLogAutoMode), autoMode);
        const CNetDetails net = CNetDetails::FromSettings(onDisk);
        QCOMPARE(net.netName, accept ? "Smith 6m Net" : "Ostravel 2 Meter Net");
        QCOMPARE(net.frequency, QStringLiteral("146.61"));

        QSignalSpy done(&Publisher(), &CNetLogPublisher::uploadFinished);
        Log("W4ABC");
        Log("K1XYZ");
        if (!autoMode) {
            QTest::qWait(200);
            QVERIFY(done.isEmpty());
            QTest::mouseClick(Publisher().OstraButton(), Qt::LeftButton);
        }
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), autoMode ? 2 : 1, 10000);
        const QByteArray page = RequestsTo("/cgi-bin/netlog.cgi").last().body;
        QVERIFY(page.contains(accept ? "Checked in to the Smith 6m Net on 1/5/2026"
                                     : "Checked in to the Ostravel 2 Meter Net on 1/5/2026"));
        QVERIFY(page.contains(accept ? "2026 Smith &amp; Sons &lt;ARC&gt;</font>"
                                     : "2026 Ostravel Amateur Radio Club</font>"));
        QCOMPARE(page.indexOf("K1XYZ") < page.indexOf("W4ABC"), reverse);
    }

    // In auto mode a failing server is reported once per run of failures; "OSTRA" always answers.
    void failuresShownOncePerRun_data()
    {
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<bool>("viaOstra");
        QTest::addColumn<int>("messages");
        QTest::newRow("auto: three failures") << QList<int>{503, 503, 503} << false << 1;
        QTest::newRow("auto: two runs of failures") << QList<int>{503, 200, 503} << false << 2;
        QTest::newRow("OSTRA: each failure") << QList<int>{503, 503} << true << 2;
    }
    void failuresShownOncePerRun()
    {
        QFETCH(QList<int>, statuses);
        QFETCH(bool, viaOstra);
        QFETCH(int, messages);
        QJsonArray sequence;
        for (int s : statuses)
            sequence.append(QJsonObject{{"status", s}});
        m_server->Route("/cgi-bin/netlog.cgi", {{"sequence", sequence}});
        if (!viaOstra)
            QTest::mouseClick(Publisher().AutoModeBox(), Qt::LeftButton);
        QSignalSpy done(&Publisher(), &CNetLogPublisher::uploadFinished);
        for (int i = 0; i < int(statuses.size()); ++i) {
            Log(QStringLiteral("W%1ABC").arg(i));
            if (viaOstra)
                QTest::mouseClick(Publisher().OstraButton(), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(done.count(), i + 1, 10000);
        }
        const QString failure = QStringLiteral("Upload failed: 503 Service Unavailable");
        QCOMPARE(Shown("Warning: " + failure), messages);
        QCOMPARE(Status(), failure);
        QCOMPARE(Publisher().LastUploadLabel()->toolTip(), failure);
    }

    // A 401 asks for a user name and password in our dialog; the request is repeated once with them.
    void passwordDialog_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("ok");
        QTest::newRow("answered") << "secret" << true << true;
        QTest::newRow("refused again") << "wrong" << true << false;
        QTest::newRow("cancelled") << "" << false << false;
    }
    void passwordDialog()
    {
        QFETCH(QString, password);
        QFETCH(bool, answer);
        QFETCH(bool, ok);
        m_server->Route("/cgi-bin/netlog.cgi", {{"auth", "ncs:secret"}});
        Log("W4ABC");
        QSignalSpy done(&Publisher(), &CNetLogPublisher::uploadFinished);
        QTest::mouseClick(Publisher().OstraButton(), Qt::LeftButton);
        CCredentialsDlg* dlg = nullptr;
        QTRY_VERIFY((dlg = m_f->Frame().findChild<CCredentialsDlg*>()) && dlg->isVisible());
        QVERIFY(dlg->windowTitle().size() > 0);
        dlg->UserBox()->setText("ncs");
        dlg->PasswordBox()->setText(password);
        answer ? dlg->accept() : dlg->reject();
        QVERIFY(done.wait(10000));
        QCOMPARE(done.first().first().toBool(), ok);
        QCOMPARE(int(RequestsTo("/cgi-bin/netlog.cgi").size()), answer ? 2 : 1);
        if (!ok) {
            QCOMPARE(Status(), QStringLiteral("Upload failed: Access denied: Invalid password"));
            QCOMPARE(Shown("Warning: Upload failed: Access denied: Invalid password"), 1);
            return;
        }
        // Kept for the session and this server: the next upload answers its 401 without asking, and
        // never sends the password ahead of it.
        QTest::mouseClick(Publisher().OstraButton(), Qt::LeftButton);
        QVERIFY(done.wait(10000));
        QVERIFY(done.last().first().toBool());
        const QList<CRecordedRequest> posts = RequestsTo("/cgi-bin/netlog.cgi");
        QCOMPARE(posts.size(), 4);
        QVERIFY(!posts[2].headers.contains("authorization"));
        QCOMPARE(posts.last().headers.value("authorization"), QStringLiteral("Basic bmNzOnNlY3JldA=="));

        // The club's server box changed: the new server gets nothing it did not ask for, and asks anew.
        CHttpServer other;
        other.Route("/cgi-bin/preCheckIn", {{"auth", "ncs:secret"}, {"body", "x"}});
        PreNet().ServerBox()->setText(other.Host());
        QSignalSpy shown(&PreNet(), &CPreNetPanel::preNetShown);
        QTest::mouseClick(PreNet().RefreshButton(), Qt::LeftButton);
        QTRY_VERIFY((dlg = m_f->Frame().findChild<CCredentialsDlg*>()) && dlg->isVisible());
        dlg->reject();
        QVERIFY(shown.wait(10000));
        for (const CRecordedRequest& r : other.Requests())
            QVERIFY(!r.headers.contains("authorization"));
    }

    // The pre-net list with its marks; a station logged with F5 gets its mark; "Move all" logs the rest
    // with the data of their last check-in, of their licence or of the club's form, and in auto mode
    // publishes the page.
    void preNetMarksAndMove()
    {
        const QString uls = m_f->Scratch().File("uls");
        QDir().mkpath(uls);
        WriteUlsFiles(uls, CrLf({AmLine(1, "N1FCC", "E")}),
                      CrLf({EnLine(1, "N1FCC", "NANCY FCC", "1 FCC WAY", "HARTFORD", "CT", "06001")}),
                      CrLf({HdLine(1, "N1FCC")}));
        QCOMPARE(BuildFccDb(uls, m_f->Scratch().File("FCC97.db")).state, CFccDbBuild::Succeeded);
        AddCheckin(m_f->Db(), {"W4ABC", QDateTime(kDay, QTime(19, 0)), "Jane"});
        AddCheckin(m_f->Db(), {"K1HIS", QDateTime(kDay.addDays(-7), QTime(19, 0)), "Hal Story", "old", true,
                               true, true, "Oldtown, GA", "2 Old Rd", "G", "EM73", "hal@example.org"});
        m_f->Restart();
        m_server->Route("/cgi-bin/preCheckIn",
                        {{"body", QString::fromLatin1(PreNetPage(
                                      "<li>W4ABC, Jane+Doe, Springfield</li><li>k1his, Hal, Somewhere</li>"
                                      "<li>N1FCC, Nancy</li><li>KD9NEW, New+Comer, Peoria, IL</li>"
                                      "<li>W4AB, Short, Call</li>"))}});
        m_server->Route("/cgi-bin/netlog.cgi", {{"body", "stored"}});

        // The server box is saved as it is typed.
        QLineEdit* box = PreNet().ServerBox();
        box->clear();
        QTest::keyClicks(box, m_server->Host());
        QCOMPARE(m_f->Settings().Get(Setting::PreNetServer), m_server->Host());
        RefreshPreNet();
        QCOMPARE(PreNetRows(),
                 (QStringList{"1|W4ABC|Jane Doe|Springfield", "0|k1his|Hal|Somewhere", "0|N1FCC|Nancy|",
                              "0|KD9NEW|New Comer|Peoria, IL", "0|W4AB|Short|Call"}));
        QCOMPARE(Status(), QStringLiteral("Pre-net: 5 check-ins"));

        Log("W4AB");
        QCOMPARE(PreNetRows().last(), QStringLiteral("1|W4AB|Short|Call"));

        QTest::mouseClick(Publisher().AutoModeBox(), Qt::LeftButton);
        QSignalSpy done(&Publisher(), &CNetLogPublisher::uploadFinished);
        Form().DayListPanel()->Refresh(); // the refresh after F5, before the operator's next click
        QTest::mouseClick(PreNet().MoveButton(), Qt::LeftButton);
        QCOMPARE(Status(), QStringLiteral("3 pre-net check-ins moved to the log"));
        // The list's refresh that follows does not put the position over it.
        Form().DayListPanel()->Refresh();
        QCOMPARE(Status(), QStringLiteral("3 pre-net check-ins moved to the log"));
        for (const QString& row : PreNetRows())
            QVERIFY2(row.startsWith("1|"), qPrintable(row));
        const auto day = LogQueries::DayCheckins(m_f->Db(), kDay);
        QStringList logged;
        for (const CCheckinRecord& r : day)
            logged << QStringList{r.callSign,
                                  r.name,
                                  r.street,
                                  r.location,
                                  r.cls,
                                  r.yourGrid,
                                  r.comment,
                                  r.date.ToStorage(),
                                  QString::number(r.acknowledged + r.hasTraffic)}
                          .join('|');
        QCOMPARE(logged.mid(2),
                 (QStringList{"K1HIS|Hal Story|2 Old Rd|Oldtown, GA|G|EM73||2026-01-05 19:02:30|0",
                              "N1FCC|NANCY FCC|1 FCC WAY|HARTFORD, CT 06001|E|||2026-01-05 19:02:30|0",
                              "KD9NEW|New Comer||Peoria, IL||||2026-01-05 19:02:30|0"}));
        // The page follows the log: the last upload carries every station.
        QTRY_VERIFY_WITH_TIMEOUT(!Publisher().Uploader().IsBusy() && !Publisher().Uploader().HasPending(),
                                 10000);
        QVERIFY(!done.isEmpty());
        const QByteArray page = RequestsTo("/cgi-bin/netlog.cgi").last().body;
        for (const char* call : {"W4ABC", "W4AB", "K1HIS", "N1FCC", "KD9NEW"})
            QVERIFY2(page.contains(call), call);

        QTest::mouseClick(PreNet().MoveButton(), Qt::LeftButton);
        QCOMPARE(Status(), QStringLiteral("Every pre-net check-in is in the log already"));
    }

    void preNetMessages_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty page of the day")
            << "" << QByteArray(1357, ' ') << "Information: Nothing found so far for today";
        QTest::newRow("page with 404")
            << "" << PreNetPage("<li>W4ABC, 404</li>") << "Warning: Bad Server Name perhaps?";
        QTest::newRow("no server")
            << "127.0.0.1:1" << QByteArray()
            << "Warning: Pre-net check-ins not fetched: Failed to connect to 127.0.0.1";
        // An error page is a failure with its status, however long it is.
        QTest::newRow("500 with a long page")
            << "" << PreNetPage("<li>Internal, Server Error</li>")
            << "Warning: Pre-net check-ins not fetched: 500 Internal Server Error";
    }
    void preNetMessages()
    {
        QFETCH(QString, server);
        QFETCH(QByteArray, body);
        QFETCH(QString, shown);
        QJsonObject route{{"body", QString::fromLatin1(body)}};
        if (QString(QTest::currentDataTag()).startsWith("500"))
            route["status"] = 500;
        m_server->Route("/cgi-bin/preCheckIn", route);
        if (!server.isEmpty())
            PreNet().ServerBox()->setText(server);
        RefreshPreNet();
        QCOMPARE(m_f->Prompts().Shown().size(), 1);
        QVERIFY2(m_f->Prompts().Shown().first().startsWith(shown),
                 qPrintable(m_f->Prompts().Shown().first()));
        QCOMPARE(PreNet().PreNetList()->rowCount(), 0);
        // The status bar says what happened, not how long it took.
        QVERIFY2(Status().startsWith(shown.mid(shown.indexOf(": ") + 2)), qPrintable(Status()));
    }

    // Without a club server nothing is fetched or sent: each button says so and shows the box.
    void clubServerFirst_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("stored"); // what the settings hold
        QTest::newRow("Pre Net Refresh") << "refresh"
                                         << "";
        QTest::newRow("OSTRA") << "ostra"
                               << "";
        QTest::newRow("Send Net Report") << "report"
                                         << "";
        // The placeholder an earlier version wrote on its first start is no server either.
        QTest::newRow("OSTRA, old placeholder") << "ostra"
                                                << "www.example.org";
        QTest::newRow("Pre Net Refresh, old placeholder") << "refresh"
                                                          << "www.example.org";
    }
    void clubServerFirst()
    {
        QFETCH(QString, button);
        QFETCH(QString, stored);
        m_f->Settings().Set(Setting::NetLogServer, stored);
        m_f->Settings().Set(Setting::PreNetServer, stored);
        m_f->Restart();
        QCOMPARE(PreNet().ServerBox()->text(), QString());
        Log("W4ABC");
        QPushButton* b = button == "refresh" ? PreNet().RefreshButton()
                         : button == "ostra" ? Publisher().OstraButton()
                                             : Web().ReportButton();
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(m_f->Prompts().Shown(), QStringList{"Warning: Set the club's server first"});
        QCOMPARE(Status(), QStringLiteral("Set the club's server first"));
        QCOMPARE(Form().CalendarTabs()->currentWidget(), &PreNet());
        QCOMPARE(QApplication::focusWidget(), PreNet().ServerBox());
        QVERIFY(!m_f->Frame().findChild<CNetReportDlg*>());
        QTest::qWait(200);
        QVERIFY(m_server->Requests().isEmpty());
        QVERIFY(!Publisher().Uploader().IsBusy());
    }

    // A failed refresh keeps the EchoLink list as it was, greyed, and says why; the next good one mends it.
    void echoLinkStaysOnFailure()
    {
        QSignalSpy shown(&PreNet(), &CPreNetPanel::echoLinkShown);
        m_server->Route("/cgi-bin/echoLogin",
                        {{"sequence", QJsonArray{QJsonObject{{"body", "<body>W1AW-R K1ABC </body>"}},
                                                 QJsonObject{{"status", 500},
                                                             {"body", "<body>Internal Server Error </body>"}},
                                                 QJsonObject{{"body", "<body>N0CALL </body>"}}}}});
        QStringList lines;
        const auto listed = [&] {
            QStringList out;
            for (int i = 0; i < PreNet().EchoLinkList()->count(); ++i)
                out << PreNet().EchoLinkList()->item(i)->text();
            return out;
        };
        PreNet().RefreshEchoLink();
        QVERIFY(shown.wait(10000));
        QCOMPARE(listed(), (QStringList{"K1ABC", "W1AW-R"}));
        PreNet().RefreshEchoLink();
        QVERIFY(shown.wait(10000));
        QCOMPARE(listed(), (QStringList{"K1ABC", "W1AW-R"}));
        QVERIFY(PreNet().IsEchoLinkStale());
        QCOMPARE(Status(), QStringLiteral("EchoLink listing not refreshed: 500 Internal Server Error"));
        QVERIFY(PreNet().EchoLinkList()->toolTip().startsWith(Status()));
        PreNet().RefreshEchoLink();
        QVERIFY(shown.wait(10000));
        QCOMPARE(listed(), QStringList{"N0CALL"});
        QVERIFY(!PreNet().IsEchoLinkStale());
        QVERIFY(PreNet().EchoLinkList()->toolTip().isEmpty());
    }

    // A double click loads the station into the form: from the pre-net list by its history or the club's
    // form, from the EchoLink list by the first match.
    void doubleClicks()
    {
        AddCheckin(m_f->Db(), {"K1HIS", QDateTime(kDay.addDays(-7), QTime(19, 0)), "Hal Story"});
        m_f->Restart();
        m_server->Route(
            "/cgi-bin/preCheckIn",
            {{"body", QString::fromLatin1(PreNetPage("<li>k1his, Hal</li><li>KD9NEW, New, Peoria</li>"))}});
        m_server->Route("/cgi-bin/echoLogin", {{"body", "<html><body>W1AW-R k1his </body></html>"}});
        RefreshPreNet();
        QLineEdit* name = Form().findChild<QLineEdit*>("name");
        QLineEdit* addr2 = Form().findChild<QLineEdit*>("addr2");
        Form().CalendarTabs()->setCurrentWidget(&PreNet());
        QTableWidget* table = PreNet().PreNetList();
        // A real double click: press, release, then the double click.
        const QPoint at = table->visualItemRect(table->item(1, 1)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(Form().CallSignBox()->text(), QStringLiteral("KD9NEW"));
        QCOMPARE(name->text() + "|" + addr2->text(), QStringLiteral("New|Peoria"));
        QVERIFY(Form().CallSignBox()->hasFocus());
        PreNet().OnPreNetDoubleClick(0);
        QCOMPARE(Form().CallSignBox()->text() + "|" + name->text(), QStringLiteral("K1HIS|Hal Story"));

        QSignalSpy shown(&PreNet(), &CPreNetPanel::echoLinkShown);
        PreNet().RefreshEchoLink();
        QVERIFY(shown.wait(10000));
        Form().CalendarTabs()->setCurrentWidget(PreNet().EchoLinkPage());
        QListWidget* list = PreNet().EchoLinkList();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("k1his"));
        Form().OnClear();
        Form().CallSignBox()->setText("N0CALL");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->item(0)).center());
        QCOMPARE(Form().CallSignBox()->text() + "|" + name->text(), QStringLiteral("K1HIS|Hal Story"));
    }

    // "Refresh Every": a period of 0 starts no timer, and two refreshes never overlap.
    void refreshEvery_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<int>("period");
        QTest::newRow("5") << "5" << 5000;
        QTest::newRow("3x") << "3x" << 3000;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void refreshEvery()
    {
        QFETCH(QString, seconds);
        QFETCH(int, period);
        QCOMPARE(PreNet().SecondsBox()->text(), QStringLiteral("5"));
        QVERIFY(!PreNet().RefreshEveryBox()->isChecked());
        PreNet().SecondsBox()->setText(seconds);
        PreNet().RefreshEveryBox()->click();
        QTimer* timer = PreNet().EchoLinkTimer();
        QCOMPARE(timer->isActive(), period > 0);
        if (period > 0)
            QCOMPARE(timer->interval(), period);
        PreNet().RefreshEveryBox()->click();
        QVERIFY(!timer->isActive());

        m_server->Route("/cgi-bin/echoLogin", {{"gate", "go"}, {"body", "<body>W1AW </body>"}});
        QSignalSpy shown(&PreNet(), &CPreNetPanel::echoLinkShown);
        PreNet().RefreshEchoLink();
        PreNet().RefreshEchoLink();
        QTRY_COMPARE(int(RequestsTo("/cgi-bin/echoLogin").size()), 1);
        m_server->Release("go");
        QVERIFY(shown.wait(10000));
        QTest::qWait(200);
        QCOMPARE(int(RequestsTo("/cgi-bin/echoLogin").size()), 1);
        QCOMPARE(shown.count(), 1);
    }

    // The report goes encoded to the pre-net server; the settings are written on "Send" only. Check-ins and
    // traffic are the day's counts.
    void netReport_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("announce");
        QTest::addColumn<bool>("send");
        QTest::addColumn<QString>("query");
        QTest::newRow("defaults")
            << QString() << false << true
            << "f=Replace%20with%20Your%20First%20Name&s=Replace%20with%20Your%20Call%20Sign"
               "&d=01/05/2026&m=Your%20Message%20Number%20Here&c=2&t=1&a=No";
        QTest::newRow("encoded") << "Tom & Jerry" << true << true
                                 << "f=Tom%20%26%20Jerry&s=Replace%20with%20Your%20Call%20Sign&d=01/05/2026"
                                    "&m=Your%20Message%20Number%20Here&c=2&t=1&a=Yes";
        QTest::newRow("cancelled") << "Tom" << true << false << QString();
    }
    void netReport()
    {
        QFETCH(QString, name);
        QFETCH(bool, announce);
        QFETCH(bool, send);
        QFETCH(QString, query);
        m_server->Route("/cgi-bin/netReport", {{"body", "thanks"}});
        Log("W4ABC");
        Log("K1XYZ");
        QVERIFY(m_f->Doc().Form().SetFlag(1, LogQueries::Flag::HasTraffic, true));
        QSignalSpy done(&Web(), &CWebModule::reportFinished);
        m_f->Prompts().OnDialog<CNetReportDlg>([&](CNetReportDlg& dlg) {
            QCOMPARE(dlg.CheckInsBox()->text(), QStringLiteral("2"));
            QCOMPARE(dlg.TrafficBox()->text(), QStringLiteral("1"));
            QCOMPARE(dlg.Heading()->text(), QStringLiteral("Ostravel 2 Meter Net on 146.61"));
            if (!name.isEmpty())
                dlg.NameBox()->setText(name);
            dlg.AnnounceBox()->setChecked(announce);
            send ? dlg.SendButton()->click() : dlg.reject();
        });
        QTest::mouseClick(Web().ReportButton(), Qt::LeftButton);
        CSettings& s = m_f->Settings();
        QCOMPARE(m_f->Prompts().DialogStepsLeft(), 0);
        if (!send) {
            QVERIFY(done.isEmpty() && RequestsTo("/cgi-bin/netReport").isEmpty());
            QVERIFY(!s.Contains(Setting::ReportName) && !s.Contains(Setting::ReportAnnounce));
            return;
        }
        QVERIFY(done.wait(10000));
        QVERIFY(done.first().first().toBool());
        QCOMPARE(Status(), QStringLiteral("Net report sent"));
        QCOMPARE(RequestsTo("/cgi-bin/netReport").first().path, "/cgi-bin/netReport?" + query);
        QCOMPARE(s.Get(Setting::ReportName), name.isEmpty() ? s.GetDefault(Setting::ReportName) : name);
        QVERIFY(s.Contains(Setting::ReportName) && s.Contains(Setting::ReportCheckIns));
        QCOMPARE(s.Get(Setting::ReportDate), QStringLiteral("01/05/2026"));
        QCOMPARE(s.Get(Setting::ReportAnnounce), announce);
    }
};

QTEST_MAIN(TestWebExchange)
#include "tst_webexchange.moc"
