// The check-in form filled from the FCC licence database (F7, the F1-F3 fall-back) and the licence and
// callbook pages opened from it.
#include "core/log/LogQueries.h"
#include "gui/log/LogwardenView.h"
#include "support/UlsFiles.h"
#include "support/gui/GuiFixture.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace TestSupport;

namespace {
const QDate kDay(2024, 3, 7);
}

// Takes the addresses the form asks the desktop to open, instead of a browser.
class CUrlCatcher : public QObject
{
    Q_OBJECT
public:
    QStringList urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url.toString(); }
};

class TestFormLookup : public QObject
{
    Q_OBJECT

    std::unique_ptr<CGuiFixture> m_f;
    CUrlCatcher m_catcher;

    CLogwardenView& Form() { return *m_f->Frame().FormView(); }
    QLineEdit* Box(const char* name) { return Form().findChild<QLineEdit*>(QString::fromLatin1(name)); }
    void TypeCall(const QString& call)
    {
        QTest::keyClick(&m_f->Frame(), Qt::Key_F4);
        QTest::keyClicks(Box("callSign"), call);
    }

private Q_SLOTS:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_catcher, "open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    void init()
    {
        m_f = std::make_unique<CGuiFixture>(QDateTime(kDay, QTime(19, 2, 30)));
        const QString uls = m_f->Scratch().File(QStringLiteral("uls"));
        QDir().mkpath(uls);
        WriteUlsFiles(uls,
                      CrLf({AmLine(101, "W4ABC", "E"), AmLine(102, "W4ABC", "G"), AmLine(200, "K1POB", "T"),
                            AmLine(300, "N1CT", "A")}),
                      CrLf({EnLine(101, "W4ABC", "OLD NAME", "9 OLD RD", "OLDTOWN", "GA", "30301"),
                            EnLine(102, "W4ABC", "JANE Q DOE", "  12 ELM ST", "SPRINGFIELD", "IL", "62701"),
                            EnLine(200, "K1POB", "BOX HOLDER", "", "HARTFORD", "CT", "061234567", "123"),
                            EnLine(300, "N1CT", "NUTMEG", "1 MAIN ST", "HARTFORD", "CT", "06001")}),
                      CrLf({HdLine(101, "W4ABC", "E"), HdLine(102, "W4ABC"), HdLine(200, "K1POB"),
                            HdLine(300, "N1CT")}));
        const CBuildOutcome built = BuildFccDb(uls, m_f->Scratch().File(QStringLiteral("FCC97.db")));
        QCOMPARE(built.state, CFccDbBuild::Succeeded);
        m_f->Frame().activateWindow();
        m_catcher.urls.clear();
    }
    void cleanup() { m_f.reset(); }

    void f7FillsTheFormAndF5LogsIt()
    {
        TypeCall("W4ABC");
        Box("yourGrid")->setText("EM84CX");
        Form().findChild<QPlainTextEdit*>("comments")->setPlainText("left over");
        QTest::keyClick(&m_f->Frame(), Qt::Key_F7);
        // The last of the call's licences wins, with its own class.
        QCOMPARE(Box("callSign")->text(), QStringLiteral("W4ABC"));
        QCOMPARE(Box("name")->text(), QStringLiteral("JANE Q DOE"));
        QCOMPARE(Box("addr1")->text(), QStringLiteral("12 ELM ST"));
        QCOMPARE(Box("addr2")->text(), QStringLiteral("SPRINGFIELD, IL 62701"));
        QCOMPARE(Box("class")->text(), QStringLiteral("G"));
        QCOMPARE(Box("yourGrid")->text(), QString());
        QCOMPARE(Form().findChild<QPlainTextEdit*>("comments")->toPlainText(), QString());
        QVERIFY(LogQueries::DayCheckins(m_f->Db(), kDay).empty()); // nothing written yet

        QTest::keyClick(&m_f->Frame(), Qt::Key_F5);
        const auto day = LogQueries::DayCheckins(m_f->Db(), kDay);
        QCOMPARE(int(day.size()), 1);
        QCOMPARE(day[0].name, QStringLiteral("JANE Q DOE"));
        QCOMPARE(day[0].street, QStringLiteral("12 ELM ST"));
        QCOMPARE(day[0].location, QStringLiteral("SPRINGFIELD, IL 62701"));
        QCOMPARE(day[0].cls, QStringLiteral("G"));
    }

    void addressesAsStored_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("addr1");
        QTest::addColumn<QString>("addr2");
        QTest::newRow("post office box, nine-digit zip") << "K1POB"
                                                         << "P.O. Box 123"
                                                         << "HARTFORD, CT 06123-4567";
        QTest::newRow("zip with a leading zero") << "N1CT"
                                                 << "1 MAIN ST"
                                                 << "HARTFORD, CT 06001";
    }
    void addressesAsStored()
    {
        QFETCH(QString, call);
        QFETCH(QString, addr1);
        QFETCH(QString, addr2);
        TypeCall(call);
        QTest::mouseClick(Form().findChild<QPushButton*>("pullFccButton"), Qt::LeftButton);
        QCOMPARE(Box("addr1")->text(), addr1);
        QCOMPARE(Box("addr2")->text(), addr2);
    }

    void anUnknownCallLeavesNoOtherStationBehind()
    {
        // The boxes of the station shown before must not be logged with the unknown call.
        TypeCall("N1CT");
        QTest::keyClick(&m_f->Frame(), Qt::Key_F7);
        QCOMPARE(Box("name")->text(), QStringLiteral("NUTMEG"));
        TypeCall("W9ZZZ");
        QTest::mouseClick(Form().findChild<QPushButton*>("localLookUpButton"), Qt::LeftButton);
        QCOMPARE(Box("callSign")->text(), QStringLiteral("W9ZZZ"));
        for (const char* box : {"name", "addr1", "addr2", "class"})
            QCOMPARE(Box(box)->text(), QString());
        QCOMPARE(m_f->Frame().StatusText(), QStringLiteral("W9ZZZ is not in the FCC licence database"));
    }

    void fKeysWithTooFewMatchesLookTheCallUp()
    {
        AddCheckin(m_f->Db(), {"N1CTX", QDateTime(kDay.addDays(-7), QTime(19, 0))});
        m_f->Restart();
        TypeCall("N1CT");
        QTest::keyClick(&m_f->Frame(), Qt::Key_F2); // one match only
        QCOMPARE(Box("name")->text(), QStringLiteral("NUTMEG"));
        QCOMPARE(Box("callSign")->text(), QStringLiteral("N1CT"));
    }

    void withoutADatabaseTheLookUpSaysSo()
    {
        QFile::remove(m_f->Scratch().File(QStringLiteral("FCC97.db")));
        TypeCall("W4ABC");
        QTest::keyClick(&m_f->Frame(), Qt::Key_F7);
        const QString text = m_f->Prompts().Last();
        QVERIFY2(text.contains(QLatin1String("FCC97.db")), qPrintable(text));
        QCOMPARE(Box("name")->text(), QString());
        // From F1-F3 the same goes to the status bar, without a box to dismiss.
        m_f->Focus(Box("callSign"));
        QTest::keyClick(Box("callSign"), Qt::Key_F3);
        QVERIFY2(m_f->Frame().StatusText().contains(QLatin1String("FCC97.db")),
                 qPrintable(m_f->Frame().StatusText()));
    }

    void licenceAndCallbookPages()
    {
        TypeCall("N1CT");
        QTest::mouseClick(Form().findChild<QPushButton*>("fccLookupButton"), Qt::LeftButton);
        QTest::mouseClick(Form().findChild<QPushButton*>("qrzLookupButton"), Qt::LeftButton);
        QCOMPARE(m_catcher.urls,
                 (QStringList{"http://wireless2.fcc.gov/UlsApp/UlsSearch/license.jsp?licKey=300",
                              "http://www.qrz.com/db/N1CT"}));
        TypeCall("Q9NONE");
        QTest::mouseClick(Form().findChild<QPushButton*>("fccLookupButton"), Qt::LeftButton);
        QCOMPARE(m_catcher.urls.size(), 2);
        QCOMPARE(m_f->Frame().StatusText(), QStringLiteral("No FCC licence found for Q9NONE"));
    }
};

QTEST_MAIN(TestFormLookup)
#include "tst_formlookup.moc"
