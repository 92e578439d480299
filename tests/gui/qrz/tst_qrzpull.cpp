// "Pull from QRZ [F8]" in the window, against a local server playing QRZ's XML callbook.
#include "core/app/SecretStore.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogQueries.h"
#include "gui/log/LogwardenView.h"
#include "gui/qrz/QrzAccountDlg.h"
#include "gui/qrz/QrzModule.h"
#include "gui/qrz/QrzPullModule.h"
#include "support/QrzService.h"
#include "support/gui/GuiFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);
const QString kW1aw =
    QStringLiteral("<call>W1AW</call><fname>Hiram P</fname><name>Maxim</name><addr1>225 Main St</addr1>"
                   "<addr2>Newington</addr2><state>CT</state><country>United States</country><class>E</class>"
                   "<grid>FN31pr</grid><email>w1aw@example.org</email>");

// The columns the pull may fill, as stored.
QStringList Filled(const CCheckinRecord& r)
{
    return {r.name, r.street, r.location, r.cls, r.yourGrid, r.email};
}

// Everything stored of a check-in.
QStringList All(const CCheckinRecord& r)
{
    return Filled(r) << r.callSign << r.comment << r.date.ToListText()
                     << QString::number(r.acknowledged + 2 * r.hasTraffic + 4 * r.hasComments);
}

} // namespace

class TestQrzPull : public QObject
{
    Q_OBJECT

    std::unique_ptr<CQrzService> m_qrz;
    std::unique_ptr<CGuiFixture> m_f;
    int m_asked = 0;           // account dialogs shown
    QStringList m_dialogTexts; // what they said: the reason and the keyring's note

    CLogwardenView& Form() { return *m_f->Frame().FormView(); }
    CQrzPullModule& Pull() { return m_f->Frame().findChild<CQrzModule*>()->Pull(); }
    QLineEdit* Box(const char* name) { return Form().findChild<QLineEdit*>(QString::fromLatin1(name)); }
    CCheckinRecord Stored(int id) { return *m_f->Doc().Store().Get(id); }
    QString Status() { return m_f->Frame().StatusText(); }

    int Seed(const CCheckin& c) { return AddCheckin(m_f->Db(), c); }
    // The account in the settings and the session's keyring, as a dialog before would have left it.
    void KnownAccount(const QString& password = QStringLiteral("secret"))
    {
        m_f->Settings().Set(Setting::QrzXmlHost, m_qrz->HttpHost());
        m_f->Settings().Set(Setting::QrzUserName, QStringLiteral("n0tst"));
        m_f->Secrets().Write(CSecretStore::QrzAccount(QStringLiteral("n0tst")), password);
    }
    // Answers the next account dialog.
    void AnswerAccount(const QString& password = QStringLiteral("secret"))
    {
        m_f->Prompts().OnDialog<CQrzAccountDlg>([this, password](CQrzAccountDlg& dlg) {
            ++m_asked;
            for (const char* name : {"qrzAccountWhy", "qrzKeyringNote"})
                if (auto* label = dlg.findChild<QLabel*>(QLatin1String(name)))
                    m_dialogTexts << label->text();
            dlg.HostBox()->setText(m_qrz->HttpHost());
            dlg.UserBox()->setText(QStringLiteral("n0tst"));
            dlg.PasswordBox()->setText(password);
            dlg.accept();
        });
    }
    void PressF8()
    {
        // A dialog that closed may have left no window active, and keys reach only the active one.
        QApplication::setActiveWindow(&m_f->Frame());
        QTest::keyClick(&m_f->Frame(), Qt::Key_F8);
    }
    bool WaitForAnswers()
    {
        return QTest::qWaitFor([this] { return Pull().Pending() == 0; }, 15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // No keyring service: passwords live for the session only, as on a desktop without one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        m_qrz = std::make_unique<CQrzService>();
    }

    void init()
    {
        m_qrz->Reset();
        m_qrz->AddStation(QStringLiteral("W1AW"), kW1aw);
        m_qrz->AddStation(QStringLiteral("K1LOW"), QStringLiteral("<call>K1LOW</call><fname>Ann</fname>"
                                                                  "<name>Low</name><class>G</class>"));
        m_f = std::make_unique<CGuiFixture>(QDateTime(kDay, QTime(19, 2, 30)));
        m_asked = 0;
        m_dialogTexts.clear();
    }
    void cleanup() { m_f.reset(); }

    void f8AsksOnceThenFillsOnlyEmptyFields()
    {
        const int w1aw =
            Seed({"W1AW", QDateTime(kDay, QTime(19, 0)), "", "", false, false, false, "", "Old Street"});
        const int k1low = Seed({"K1LOW", QDateTime(kDay, QTime(19, 1))});
        m_f->Restart();
        const QString settingsFile = m_f->Settings().FileName();
        m_f->Doc().Form().MoveTo(0);

        AnswerAccount();
        PressF8();
        QVERIFY(WaitForAnswers());
        QCOMPARE(m_asked, 1);
        QCOMPARE(m_dialogTexts, (QStringList{QStringLiteral("The QRZ look-up needs your QRZ XML account."),
                                             CSecretStore::kSessionOnlyNote}));
        const CCheckinRecord filled = Stored(w1aw);
        QCOMPARE(Filled(filled), (QStringList{"Maxim, Hiram P", "Old Street", "Newington, CT (United States)",
                                              "E", "FN31pr", "w1aw@example.org"}));
        // The boxes show the check-in as stored, with its distance.
        QCOMPARE(Box("name")->text(), QStringLiteral("Maxim, Hiram P"));
        QCOMPARE(Box("addr1")->text(), QStringLiteral("Old Street"));
        QCOMPARE(Box("yourGrid")->text(), QStringLiteral("FN31pr"));
        QCOMPARE(Status(),
                 QStringLiteral("W1AW: Name, Location, Class, YourGrid, eMailAddr filled from QRZ"));

        // The right click on the next row: no question this time, one login for both.
        QTableView* list = Form().DayList();
        list->scrollTo(list->model()->index(1, 3));
        const QRect cell = list->visualRect(list->model()->index(1, 3));
        QVERIFY(cell.isValid());
        Q_EMIT list->customContextMenuRequested(cell.center());
        QVERIFY(WaitForAnswers());
        QCOMPARE(m_asked, 1);
        QCOMPARE(m_f->Doc().Form().CurrentRow(), 1);
        QCOMPARE(Stored(k1low).name, QStringLiteral("Low, Ann "));
        QCOMPARE(Stored(k1low).cls, QStringLiteral("G"));
        QCOMPARE(m_qrz->Kinds(), (QStringList{"login", "query", "query"}));

        // Host and user name in the settings, the password nowhere on disk.
        m_f->Settings().Sync();
        const QByteArray ini = ReadFile(settingsFile);
        QVERIFY2(ini.contains("UserName=n0tst"), ini.constData());
        QVERIFY2(!ini.contains("secret"), ini.constData());

        // A pull on a check-in whose fields are all set writes nothing.
        m_f->Doc().Form().MoveTo(0);
        PressF8();
        QVERIFY(WaitForAnswers());
        QCOMPARE(All(Stored(w1aw)), All(filled));
        QCOMPARE(Status(), QStringLiteral("W1AW: every field QRZ knows is already filled."));
    }

    // The answer belongs to the check-in selected when F8 was pressed, whatever the boxes show by then.
    void theAnswerGoesWhereF8WasPressed()
    {
        KnownAccount();
        m_qrz->AddStation(QStringLiteral("K2NEW"),
                          QStringLiteral("<call>K2NEW</call><fname>Ned</fname><name>New</name>"));
        const int w1aw = Seed({"W1AW", QDateTime(kDay, QTime(19, 0))});
        const int k1low = Seed({"K1LOW", QDateTime(kDay, QTime(19, 1)), "Kept Name"});
        m_f->Restart();
        CCheckinForm& form = m_f->Doc().Form();
        form.MoveTo(0);
        m_f->Focus(Box("callSign"));
        // F8, and before QRZ's answer is taken the operator starts the next station (Escape empties the
        // boxes but the call sign, which is typed over).
        PressF8();
        QTest::keyClick(&m_f->Frame(), Qt::Key_Escape);
        QVERIFY(!form.IsBound());
        Box("callSign")->selectAll();
        QTest::keyClicks(Box("callSign"), QStringLiteral("K9NEW"));
        QTest::keyClicks(Box("name"), QStringLiteral("TYPED"));
        QVERIFY(WaitForAnswers());
        QCOMPARE(Stored(w1aw).name, QStringLiteral("Maxim, Hiram P"));
        QCOMPARE(Stored(w1aw).email, QStringLiteral("w1aw@example.org"));
        QCOMPARE((QStringList{Box("callSign")->text(), Box("name")->text(), Box("addr1")->text(),
                              Box("addr2")->text(), Box("email")->text()}),
                 (QStringList{"K9NEW", "TYPED", "", "", ""}));
        QVERIFY(!form.IsBound());
        QCOMPARE(form.CurrentRow(), 0);

        // F8 on the station being entered fills its empty boxes; no check-in changes.
        const CCheckinRecord w1awBefore = Stored(w1aw), k1lowBefore = Stored(k1low);
        Box("callSign")->selectAll();
        QTest::keyClicks(Box("callSign"), QStringLiteral("W1AW"));
        Box("name")->clear();
        QTest::keyClicks(Box("addr1"), QStringLiteral("1 TYPED RD"));
        PressF8();
        QVERIFY(WaitForAnswers());
        QCOMPARE((QStringList{Box("name")->text(), Box("addr1")->text(), Box("class")->text()}),
                 (QStringList{"Maxim, Hiram P", "1 TYPED RD", "E"}));
        QCOMPARE(All(Stored(w1aw)), All(w1awBefore));
        QCOMPARE(All(Stored(k1low)), All(k1lowBefore));
        QCOMPARE(form.CurrentRow(), 0);

        // Logged with F5 before the answer came: the new check-in takes it, the next station's boxes not.
        QTest::keyClick(&m_f->Frame(), Qt::Key_Escape);
        Box("callSign")->selectAll();
        QTest::keyClicks(Box("callSign"), QStringLiteral("K2NEW"));
        PressF8();
        QTest::keyClick(&m_f->Frame(), Qt::Key_F5);
        QVERIFY(WaitForAnswers());
        const auto day = LogQueries::DayCheckins(m_f->Db(), kDay);
        QCOMPARE(int(day.size()), 3);
        QCOMPARE(day[2].callSign, QStringLiteral("K2NEW"));
        QCOMPARE(day[2].name, QStringLiteral("New, Ned "));
        QCOMPARE(Box("callSign")->text(), QString());
        QCOMPARE(Box("name")->text(), QString());
    }

    // Typing not yet saved in the boxes of the check-in stays; QRZ fills only what is empty there too.
    void typingInTheBoxesIsKept()
    {
        KnownAccount();
        const int w1aw = Seed({"W1AW", QDateTime(kDay, QTime(19, 0))});
        m_f->Restart();
        m_f->Doc().Form().MoveTo(0);
        PressF8();
        QTest::keyClicks(Box("addr1"), QStringLiteral("9 Own Way"));
        QVERIFY(WaitForAnswers());
        QCOMPARE(Box("addr1")->text(), QStringLiteral("9 Own Way"));
        QCOMPARE(Box("name")->text(), QStringLiteral("Maxim, Hiram P"));
        QCOMPARE(Stored(w1aw).street, QStringLiteral("225 Main St"));
        // F6 saves the typing without losing what QRZ gave.
        QTest::keyClick(&m_f->Frame(), Qt::Key_F6);
        QCOMPARE(Stored(w1aw).street, QStringLiteral("9 Own Way"));
        QCOMPARE(Stored(w1aw).name, QStringLiteral("Maxim, Hiram P"));
    }

    void anErrorChangesNothing_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("queryError");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("status");
        QTest::newRow("not found") << "N0NONE"
                                   << ""
                                   << "secret"
                                   << "QRZ: Not found: N0NONE";
        QTest::newRow("session timeout after the new login") << "W1AW"
                                                             << "Session Timeout"
                                                             << "secret"
                                                             << "QRZ: Session Timeout";
        QTest::newRow("login refused") << "W1AW"
                                       << ""
                                       << "wrong"
                                       << "QRZ: Username/password incorrect";
        // The callbook down is no refused login: the account is not asked for again.
        QTest::newRow("callbook down") << "W1AW"
                                       << ""
                                       << "down"
                                       << "QRZ: The QRZ service failed: HTTP status 404 Not Found, a reply "
                                          "that is not XML.";
    }
    void anErrorChangesNothing()
    {
        QFETCH(QString, call);
        QFETCH(QString, queryError);
        QFETCH(QString, password);
        QFETCH(QString, status);
        KnownAccount(password == QLatin1String("down") ? QStringLiteral("secret") : password);
        m_qrz->SetQueryError(queryError);
        if (password == QLatin1String("down"))
            m_qrz->SetLoginReply(404, QStringLiteral("<html><body><h1>Not Found</h1><hr></body></html>"));
        const int id =
            Seed({call, QDateTime(kDay, QTime(19, 0)), "", "note", false, false, false, "", "", "", "", ""});
        m_f->Restart();
        m_f->Doc().Form().MoveTo(0);
        const CCheckinRecord before = Stored(id);
        PressF8();
        QVERIFY(WaitForAnswers());
        QCOMPARE(Status(), status);
        QCOMPARE(All(Stored(id)), All(before));
        QCOMPARE(Box("name")->text(), QString());
        QCOMPARE(Box("addr2")->text(), QString());

        if (password == QLatin1String("down")) {
            m_qrz->SetLoginReply(0, {});
            const qsizetype dialogs = m_f->Prompts().Dialogs().size();
            PressF8();
            QVERIFY(WaitForAnswers());
            QCOMPARE(m_f->Prompts().Dialogs().size(), dialogs);
            QCOMPARE(Stored(id).name, QStringLiteral("Maxim, Hiram P"));
        }
        // A refused login asks for the account again at the next F8, saying why.
        if (password == QLatin1String("wrong")) {
            AnswerAccount();
            PressF8();
            QVERIFY(WaitForAnswers());
            QCOMPARE(m_asked, 1);
            QCOMPARE(m_dialogTexts.value(0),
                     QStringLiteral("QRZ refused the login: Username/password incorrect"));
            QCOMPARE(Stored(id).name, QStringLiteral("Maxim, Hiram P"));
        }
    }

    // A new user name drops the session key of the old one, here and for the next run.
    void aChangeOfAccountDropsTheSession()
    {
        KnownAccount();
        Seed({"W1AW", QDateTime(kDay, QTime(19, 0))});
        m_f->Restart();
        m_f->Doc().Form().MoveTo(0);
        PressF8();
        QVERIFY(WaitForAnswers());
        const QString keyFile = m_f->Scratch().File(QStringLiteral("QrzSessionKey.xml"));
        QVERIFY(QFile::exists(keyFile));
        m_qrz->SetAccount(QStringLiteral("k2new"), QStringLiteral("pw2"));
        m_f->Prompts().OnDialog<CQrzAccountDlg>([](CQrzAccountDlg& dlg) {
            dlg.UserBox()->setText(QStringLiteral("k2new"));
            dlg.PasswordBox()->setText(QStringLiteral("pw2"));
            dlg.accept();
        });
        m_f->Frame().findChild<CQrzModule*>()->AccountAction()->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(keyFile); }, 5000));
        m_qrz->ClearLog();
        PressF8();
        QVERIFY(WaitForAnswers());
        QCOMPARE(m_qrz->Kinds(), (QStringList{"login", "query"}));
        QCOMPARE(
            m_qrz->Requests()[0][QStringLiteral("params")].toObject()[QStringLiteral("username")].toString(),
            QStringLiteral("k2new"));
    }
};

QTEST_MAIN(TestQrzPull)
#include "tst_qrzpull.moc"
