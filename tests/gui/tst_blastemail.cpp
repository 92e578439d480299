// The invitation e-mail from the window: "Blast Email" on the form, the dialog's list of the day's
// stations, attachments, and blasts to a real local mail server (aiosmtpd).
#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "gui/log/LogwardenView.h"
#include "gui/mail/BlastEmailDlg.h"
#include "gui/mail/BlastEmailModule.h"
#include "gui/widgets/ProgressPane.h"
#include "support/MailSupport.h"
#include "support/ServerProcess.h"
#include "support/gui/GuiFixture.h"

#include <QComboBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

const QDate kDay(2024, 3, 7);

QDateTime At(int days, int minute)
{
    return QDateTime(kDay.addDays(days), QTime(21, minute));
}

QStringList Rows(const QTableWidget* list)
{
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
        rows << list->item(r, 0)->text() + u'|' + list->item(r, 1)->text() + u'|' + list->item(r, 2)->text() +
                    (list->item(r, 0)->checkState() == Qt::Checked ? u" [x]"_s : u""_s);
    }
    return rows;
}

// A station logged later that evening, through the log's writer.
CCheckinRecord NewStation()
{
    CCheckinRecord r;
    r.callSign = u"KD2NEW"_s;
    r.date = CDateTime(At(0, 20));
    r.email = u"new@example.org"_s;
    return r;
}

} // namespace

class TestBlastEmail : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;
    std::unique_ptr<CScratch> m_mail; // what the server received

    CBlastEmailModule& Module() { return *m_f->Frame().findChild<CBlastEmailModule*>(); }
    CBlastEmailDlg* Open()
    {
        QTest::mouseClick(Module().Button(), Qt::LeftButton);
        CBlastEmailDlg* dlg = Module().Dialog();
        if (!dlg || !dlg->isVisible() || !dlg->isModal())
            qFatal("the dialog did not open");
        return dlg;
    }
    void Seed()
    {
        CDatabase& db = m_f->Db();
        AddCheckin(db,
                   {.call = u"W4ABC"_s, .when = At(0, 0), .name = u"Bob"_s, .email = u"old@example.org"_s});
        AddCheckin(db, {.call = u"K1XYZ"_s, .when = At(0, 1), .name = u"Ann"_s});
        AddCheckin(
            db,
            {.call = u"N0BOB"_s, .when = At(0, 2), .name = u"BOB <CALL>"_s, .email = u"b2@example.org"_s});
        AddCheckin(db,
                   {.call = u"W4ABC"_s, .when = At(0, 5), .name = u"Bobby"_s, .email = u"bob@example.org"_s});
        AddCheckin(db, {.call = u"AA1OTH"_s, .when = At(1, 0), .email = u"next@example.org"_s});
        m_f->Doc().Form().SelectDay(kDay);
    }
    // Waits for the blast's summary and returns it.
    QString Summary()
    {
        if (!QTest::qWaitFor([this] { return !Module().Blast().IsRunning(); }, 30000))
            return u"<still running>"_s;
        return m_f->Prompts().Shown().value(m_f->Prompts().Shown().size() - 1);
    }

private Q_SLOTS:
    // First, before this process has a bus connection: a keyring whose bus does not answer leaves the
    // window running; the password box says it waits, Send waits with it, and the answer fills the box.
    void aSilentKeyringLeavesTheWindowRunning()
    {
        CScratch dir;
        const QString release = dir.File(u"release"_s);
        QProcess bus;
        bus.start(u"/usr/bin/python3"_s,
                  {SourceDir() + u"/tests/support/slow_bus.py"_s, dir.File(u"bus"_s), release});
        QVERIFY(bus.waitForReadyRead(10000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.File(u"bus"_s).toUtf8());
        m_f->Settings().Set(Setting::MailUser, u"n0call"_s);
        CBlastEmailDlg* dlg = Open();
        QLineEdit* password = dlg->PasswordEdit();
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(1);
        QTRY_VERIFY(ticks >= 5);
        QVERIFY(!password->isEnabled());
        QCOMPARE(password->placeholderText(), u"Reading the keyring ..."_s);
        // Another focus change asks nothing more; Send is not taken for "no password".
        Q_EMIT dlg->UserEdit()->editingFinished();
        dlg->DistributionList()->item(0, 0)->setCheckState(Qt::Checked);
        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QCOMPARE(m_f->Prompts().Shown(), QStringList());
        QVERIFY(!Module().Blast().IsRunning());

        WriteFile(release, {});
        QTRY_VERIFY_WITH_TIMEOUT(password->isEnabled(), 30000);
        QCOMPARE(password->placeholderText(), QString());
        QCOMPARE(password->text(), QString());
        QVERIFY(dlg->PasswordNote()->isVisible()); // no keyring: the session only
        bus.kill();
        bus.waitForFinished();
        QTest::mouseClick(dlg->DoneButton(), Qt::LeftButton);
        QTRY_VERIFY(!Module().Dialog());
        // No keyring for the rest: passwords stay in this process.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    }
    void init()
    {
        m_mail = std::make_unique<CScratch>();
        m_f = std::make_unique<CGuiFixture>(At(0, 30));
        m_f->Settings().Set(Setting::MailPause, 0);
        Seed();
    }
    void cleanup()
    {
        m_f.reset();
        m_mail.reset();
    }

    void listOfTheShownDay()
    {
        // The button fits the form at the window's usual size.
        QCOMPARE(m_f->Frame().size(), QSize(875, 700));
        QVERIFY(!m_f->Frame().FormView()->findChild<QScrollArea*>()->verticalScrollBar()->isVisible());
        CBlastEmailDlg* dlg = Open();
        QCOMPARE(dlg->windowTitle(), u"Blast Email Dialog"_s);
        QCOMPARE(dlg->Day(), kDay);
        const QStringList defaults{dlg->ServerEdit()->text(),
                                   QString::number(dlg->PortBox()->value()),
                                   dlg->SecurityBox()->currentText(),
                                   dlg->FromEdit()->text(),
                                   dlg->ToEdit()->text(),
                                   dlg->SubjectEdit()->text(),
                                   dlg->MessageEdit()->toPlainText()};
        QCOMPARE(
            defaults,
            (QStringList{u"smtp.example.org"_s, u"25"_s, u"None"_s, uR"("N0CALL Net" <n0call@example.org>)"_s,
                         u"Use Distribution list to the right -->"_s,
                         u"Invitation: Check-in to the Ostravel 2 Meter Net @ 9:00 PM on 146.61"_s,
                         u"Enter the message here."_s}));
        // One line per station with an address, the newest check-in's name and address, unchecked.
        QTableWidget* list = dlg->DistributionList();
        QCOMPARE(list->horizontalHeaderItem(2)->text(), u"eMail"_s);
        QCOMPARE(Rows(list),
                 (QStringList{u"W4ABC|Bobby|bob@example.org"_s, u"N0BOB|BOB <CALL>|b2@example.org"_s}));

        // Send with nothing checked says so and sends nothing.
        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QVERIFY(m_f->Prompts().Last().startsWith(u"No station of the distribution list is checked"_s));
        QVERIFY(!Module().Blast().IsRunning());

        // The list follows the log, keeping the checks.
        QTest::mouseClick(dlg->findChild<QPushButton*>(u"selectAll"_s), Qt::LeftButton);
        m_f->Doc().Store().Add(NewStation());
        QCOMPARE(Rows(list).join(u','),
                 u"W4ABC|Bobby|bob@example.org [x],N0BOB|BOB <CALL>|b2@example.org [x],"
                 "KD2NEW||new@example.org"_s);
        QTest::mouseClick(dlg->findChild<QPushButton*>(u"selectNone"_s), Qt::LeftButton);
        QVERIFY(dlg->CheckedStations().empty());

        // A stored message written on Windows.
        WriteFile(m_f->Scratch().File(u"invite.msg"_s), "Dear <NAME>,\r\nsee you \xe0 9.\r\n");
        m_f->Prompts().Choose(m_f->Scratch().File(u"invite.msg"_s));
        QTest::mouseClick(dlg->findChild<QPushButton*>(u"loadStoredMessage"_s), Qt::LeftButton);
        QCOMPARE(m_f->Prompts().FileRequests().last().caption, u"Select Stored Message"_s);
        QCOMPARE(dlg->MessageEdit()->toPlainText(), u"Dear <NAME>,\nsee you à 9.\n"_s);

        // Another day shows its own stations.
        QTest::mouseClick(dlg->DoneButton(), Qt::LeftButton);
        QTRY_VERIFY(!Module().Dialog());
        m_f->Doc().Form().SelectDay(kDay.addDays(1));
        QCOMPARE(Rows(Open()->DistributionList()), QStringList{u"AA1OTH||next@example.org"_s});
    }

    void blastWithARefusedStation()
    {
        CServerProcess server(u"smtp_server.py"_s, {m_mail->Path(), u"--refuse"_s, u"b2@example.org"_s});
        CBlastEmailDlg* dlg = Open();
        dlg->ServerEdit()->setText(u"127.0.0.1"_s);
        dlg->PortBox()->setValue(server.Port());
        dlg->MessageEdit()->setPlainText(u"Hello <NAME> (<CALL>)"_s);
        dlg->SubjectEdit()->setText(u"Net tonight, via APRS -> (W4NET)"_s);
        QTest::mouseClick(dlg->findChild<QPushButton*>(u"selectAll"_s), Qt::LeftButton);
        // Attachments in two turns, after a first choice that was cleared.
        QStringList files;
        for (const char* name : {"agenda.txt", "net map.png", "roster.csv"}) {
            files << m_f->Scratch().File(QString::fromLatin1(name));
            WriteFile(files.last(), name);
        }
        auto* select = dlg->findChild<QPushButton*>(u"selectAttachments"_s);
        m_f->Prompts().Choose(QStringList{files[2]});
        QTest::mouseClick(select, Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(u"clearAttachments"_s), Qt::LeftButton);
        m_f->Prompts().Choose(QStringList{files[0]});
        QTest::mouseClick(select, Qt::LeftButton);
        m_f->Prompts().Choose(QStringList{files[1], files[2]});
        QTest::mouseClick(select, Qt::LeftButton);
        QCOMPARE(dlg->Attachments(), files);
        QCOMPARE(dlg->AttachmentList()->count(), 3);

        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QVERIFY(!dlg->SendButton()->isEnabled());
        QCOMPARE(Summary(),
                 u"Warning: 1 of 2 messages sent.\nFailed: N0BOB <b2@example.org>: 550:SMTP server "
                 "error (550 5.1.1 <b2@example.org>: no such user here)"_s);
        QVERIFY(dlg->SendButton()->isEnabled());
        QCOMPARE(dlg->ProgressBar()->text(), u"1 of 2 messages sent"_s);
        QVERIFY(!m_f->Frame().Progress().Task(u"blastProgress"_s));
        const auto mail = ReceivedMail(m_mail->Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QCOMPARE(mail[0].meta["rcpt_tos"_L1].toArray(), QJsonArray{u"bob@example.org"_s});
        const QByteArray& content = mail[0].content;
        QVERIFY(content.contains("\r\n\r\nHello Bobby (W4ABC)\r\n"));
        const qsizetype a = content.indexOf("filename=agenda.txt"),
                        b = content.indexOf("filename=\"net map.png\""),
                        c = content.indexOf("filename=roster.csv");
        QVERIFY2(a > 0 && a < b && b < c, content.constData());

        // The server shown and the subject sent are kept for the next time.
        m_f->Restart();
        dlg = Open();
        QCOMPARE(dlg->ServerEdit()->text() + u':' + QString::number(dlg->PortBox()->value()),
                 u"127.0.0.1:%1"_s.arg(server.Port()));
        QCOMPARE(dlg->SubjectEdit()->text(), u"Net tonight, via APRS -> (W4NET)"_s);
    }

    void encryptedWithLogIn()
    {
        CScratch certDir;
        const CTestCertificates certs = MakeTestCertificates(certDir.Path());
        CServerProcess server(u"smtp_server.py"_s, {m_mail->Path(), u"--starttls"_s, certs.serverPem,
                                                    certs.serverKey, u"--auth"_s, u"n0call:s3cret"_s});
        m_f->Settings().Set(Setting::MailCaFile, certs.caPem);
        CBlastEmailDlg* dlg = Open();
        dlg->ServerEdit()->setText(u"127.0.0.1"_s);
        dlg->SecurityBox()->setCurrentIndex(1);
        QCOMPARE(dlg->PortBox()->value(), 587); // the usual port of the mode
        dlg->PortBox()->setValue(server.Port());
        dlg->UserEdit()->setText(u"n0call"_s);
        dlg->DistributionList()->item(0, 0)->setCheckState(Qt::Checked);
        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QCOMPARE(m_f->Prompts().Last(), u"Enter the password of n0call on 127.0.0.1."_s);
        QVERIFY(!Module().Blast().IsRunning());

        dlg->PasswordEdit()->setText(u"s3cret"_s);
        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QCOMPARE(Summary(), u"Information: 1 of 1 messages sent."_s);
        QCOMPARE(ReceivedMail(m_mail->Path(), 1).at(0).meta["auth"_L1].toString(), u"n0call"_s);
        QTRY_VERIFY(dlg->PasswordNote()->isVisible()); // session only, and the dialog says so
        m_f->Settings().Sync();
        const QByteArray ini = ReadFile(m_f->Scratch().File(u"config/Logwarden.ini"_s));
        QVERIFY(ini.contains("Security=starttls") && ini.contains("User=n0call"));
        QVERIFY(!ini.contains("s3cret"));
        QTest::mouseClick(dlg->DoneButton(), Qt::LeftButton);
        QTRY_VERIFY(!Module().Dialog());
        // Sent with the subject made from the net's details, it follows them when they change.
        m_f->Settings().Set(Setting::NetName, u"Smith 6m Net"_s);
        dlg = Open();
        QTRY_COMPARE(dlg->PasswordEdit()->text(), u"s3cret"_s);
        QCOMPARE(dlg->SubjectEdit()->text(),
                 u"Invitation: Check-in to the Smith 6m Net @ 9:00 PM on 146.61"_s);
    }

    void doneDuringABlast_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("stop after the current message") << true;
        QTest::newRow("go on, then Cancel in the status bar") << false;
    }
    void doneDuringABlast()
    {
        QFETCH(bool, stop);
        CServerProcess server(u"smtp_server.py"_s, {m_mail->Path()});
        m_f->Settings().Set(Setting::MailServer, u"127.0.0.1"_s);
        m_f->Settings().Set(Setting::MailPort, server.Port());
        m_f->Settings().Set(Setting::MailPause, 5);
        m_f->Doc().Store().Add(NewStation());
        CBlastEmailDlg* dlg = Open();
        QTest::mouseClick(dlg->findChild<QPushButton*>(u"selectAll"_s), Qt::LeftButton);
        QSignalSpy done(&Module().Blast(), &CBlastEmail::stationDone);
        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QVERIFY(done.wait(20000)); // the first message is out; the pause runs
        m_f->Prompts().Answer(stop);
        QTest::mouseClick(dlg->DoneButton(), Qt::LeftButton);
        QVERIFY(
            m_f->Prompts().Last().startsWith(u"The blast is still sending (1 of 3: W4ABC). Stop it after"_s));
        QTRY_VERIFY(!Module().Dialog());
        if (!stop) {
            // Still running: a dialog opened now shows how far it is, with Send disabled.
            QVERIFY(Module().Blast().IsRunning());
            dlg = Open();
            QVERIFY(!dlg->SendButton()->isEnabled());
            QCOMPARE(dlg->ProgressBar()->text(), u"1 of 3: W4ABC"_s);
            m_f->Prompts().Answer(false);
            QTest::mouseClick(dlg->DoneButton(), Qt::LeftButton);
            QTRY_VERIFY(!Module().Dialog());
            CProgressTask* task = m_f->Frame().Progress().Task(u"blastProgress"_s);
            QVERIFY(task);
            QCOMPARE(task->Text(), u"Blast Email 1 of 3: W4ABC"_s);
            // Closing the window asks too; No keeps it open and sending.
            m_f->Prompts().Answer(false);
            QVERIFY(!m_f->Frame().close());
            QVERIFY(m_f->Prompts().Last().startsWith(u"The blast is still sending (1 of 3: W4ABC). Quit"_s));
            QVERIFY(Module().Blast().IsRunning());
            QTest::mouseClick(task->findChild<QToolButton*>(u"cancel"_s), Qt::LeftButton);
        }
        QCOMPARE(Summary(), u"Warning: 1 of 3 messages sent. Stopped on request; 2 not tried."_s);
        QCOMPARE(ReceivedMail(m_mail->Path(), 2, 500).size(), size_t(1));
    }
};

QTEST_MAIN(TestBlastEmail)
#include "tst_blastemail.moc"
