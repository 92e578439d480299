// The "QRZ DB: " bar (the compile of QRZ97.db in the background) and the database status check of both
// bars, in the window.
#include "core/app/SecretStore.h"
#include "gui/fcc/FccDbInfoDlg.h"
#include "gui/log/LogwardenView.h"
#include "gui/qrz/QrzDbModule.h"
#include "gui/qrz/QrzModule.h"
#include "gui/widgets/ProgressPane.h"
#include "support/QrzService.h"
#include "support/ServerProcess.h"
#include "support/gui/GuiFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolBar>
#include <QtTest>
#include <sqlite3.h>

using namespace TestSupport;

namespace {

// A CSV file of QRZ: a header shorter than 155 characters, then one line per record; two lines are not
// loaded (the header and the line without a call sign).
QByteArray Csv(int records)
{
    QByteArray csv = QByteArray("CALL,LASTNAME,COUNTRY,FIRSTNAME,").leftJustified(150, ' ') + "\n";
    csv += ",NOCALL,1,\n";
    for (int i = 0; i < records; ++i)
        csv +=
            QStringLiteral("K%1,\"SMITH, JR\",291,JOHN,,,,,1 MAIN ST,TOWN,SC,29000,E,,,\n").arg(i).toLatin1();
    return csv;
}

qint64 CountRows(const QString& db)
{
    sqlite3* h = nullptr;
    qint64 n = -1;
    if (sqlite3_open_v2(db.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, "select count(*) from QRZ", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return n;
}

void MakeArchive(const QString& path, qint64 size, const QDate& day)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
    QVERIFY(file.setFileTime(QDateTime(day, QTime(12, 0)), QFileDevice::FileModificationTime));
}

QByteArray Page(const char* cells)
{
    return QByteArray("<html><table><tr><td><a href=\"x\">l_amat.zip</a></td>") + cells +
           "</tr></table></html>";
}

// What a status dialog showed: title, button, the two labels and texts, and the reason.
struct CShown
{
    QStringList texts;
    QString reason;
};

} // namespace

class TestQrzDbBar : public QObject
{
    Q_OBJECT

    std::unique_ptr<CQrzService> m_qrz;
    std::unique_ptr<CGuiFixture> m_f;

    CQrzDbModule& Db() { return m_f->Frame().findChild<CQrzModule*>()->Databases(); }
    QString Status() { return m_f->Frame().StatusText(); }

    // Opens the status dialog with the action, presses its check button `presses` times (running
    // between() before each press but the first) and returns what it showed after each.
    QList<CShown> Check(QAction* open, int presses, const std::function<void()>& between = {})
    {
        QList<CShown> shown;
        m_f->Prompts().OnDialog<CFCCDbInfoDlg>([&](CFCCDbInfoDlg& dlg) {
            const auto snapshot = [&dlg] {
                return CShown{
                    {dlg.windowTitle(), dlg.CheckButton()->text(),
                     dlg.findChild<QLabel*>(QStringLiteral("availableLabel"))->text(), dlg.AvailableText(),
                     dlg.findChild<QLabel*>(QStringLiteral("currentLabel"))->text(), dlg.CurrentText()},
                    dlg.ReasonText()};
            };
            shown << snapshot();
            for (int i = 0; i < presses; ++i) {
                if (i > 0 && between)
                    between();
                dlg.CheckButton()->click();
                if (!QTest::qWaitFor([&] { return !dlg.IsChecking(); }, 15000))
                    qWarning("the check did not end");
                shown << snapshot();
            }
            dlg.accept();
        });
        const int before = m_f->Prompts().DialogStepsLeft();
        open->trigger();
        if (m_f->Prompts().DialogStepsLeft() == before)
            qWarning("no status dialog");
        return shown;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        m_qrz = std::make_unique<CQrzService>();
    }
    void init()
    {
        m_qrz->Reset();
        m_f = std::make_unique<CGuiFixture>();
        m_f->Settings().Set(Setting::FccUlsWebHost, m_qrz->HttpHost());
    }
    void cleanup() { m_f.reset(); }

    // Under "FCC DB: ", every button in sight at the window's default size.
    void theBarSitsUnderTheFccBar()
    {
        QToolBar* bar = Db().Bar();
        QToolBar* fcc = m_f->Frame().CommandBar();
        QCOMPARE(m_f->Frame().size(), QSize(875, 700));
        QCOMPARE(m_f->Frame().toolBarArea(bar), Qt::TopToolBarArea);
        QVERIFY(bar->geometry().top() >= fcc->geometry().bottom());
        QStringList texts;
        for (QToolBar* b : {fcc, bar}) {
            for (QAction* a : b->actions()) {
                QWidget* w = b->widgetForAction(a);
                QVERIFY2(w && w->isVisible() && b->rect().contains(w->geometry()), qPrintable(a->text()));
                texts << (a->isEnabled() ? a->text() : QStringLiteral("(%1)").arg(a->text()));
            }
        }
        QCOMPARE(texts, (QStringList{"", "Check", "DLoad", "Extract", "Compile", "Update", "", "Check",
                                     "(DLoad)", "(Extract)", "Compile"}));
        // The row they take leaves the form whole.
        auto* form = m_f->Frame().FormView()->findChild<QScrollArea*>();
        QVERIFY(form);
        QVERIFY(!form->verticalScrollBar()->isVisible());
        QVERIFY(!form->horizontalScrollBar()->isVisible());
    }

    void compileRunsInTheBackground()
    {
        const QString csv = m_f->Scratch().File(QStringLiteral("csv/qrz.csv"));
        QVERIFY(QDir().mkpath(QFileInfo(csv).path()));
        WriteFile(csv, Csv(3));
        const QString output = m_f->Scratch().File(QStringLiteral("csv/QRZ97.db"));
        QSignalSpy finished(&Db(), &CQrzDbModule::compileFinished);

        // A folder without QRZ97.db: no question.
        m_f->Prompts().Choose(csv);
        Db().CompileAction()->trigger();
        QVERIFY(m_f->Frame().Progress().Task(QStringLiteral("qrzCompileProgress")));
        QVERIFY(finished.wait(20000));
        QCOMPARE(Status(), QStringLiteral("%1: 3 loaded, 2 skipped").arg(output));
        QCOMPARE(CountRows(output), 3);
        QCOMPARE(m_f->Prompts().Shown(), QStringList());
        const Prompt::CFileRequest request = m_f->Prompts().FileRequests().value(0);
        QCOMPARE(request.filters.value(0), QStringLiteral("All csv files (*.csv)"));
        QCOMPARE(request.defaultSuffix, QStringLiteral("csv"));

        // With one there: "No" leaves it as it is.
        WriteFile(csv, Csv(5));
        m_f->Prompts().Choose(csv);
        m_f->Prompts().Answer(false);
        Db().CompileAction()->trigger();
        QCOMPARE(m_f->Prompts().Shown().value(0),
                 QStringLiteral("Question: File %1 exists! Overwrite?").arg(output));
        QVERIFY(!Db().IsCompiling());
        QCOMPARE(CountRows(output), 3);

        // Cancel in the status bar: the database stays as it was.
        WriteFile(csv, Csv(200000));
        m_f->Prompts().Choose(csv);
        m_f->Prompts().Answer(true);
        Db().CompileAction()->trigger();
        CProgressTask* task = m_f->Frame().Progress().Task(QStringLiteral("qrzCompileProgress"));
        QVERIFY(task && task->IsCancellable());
        task->Cancel();
        QVERIFY(finished.wait(60000));
        QCOMPARE(Status(), QStringLiteral("Compile Cancelled; %1 was left as it was.").arg(output));
        QCOMPARE(CountRows(output), 3);

        // Yes: built anew.
        m_f->Prompts().Choose(csv);
        m_f->Prompts().Answer(true);
        Db().CompileAction()->trigger();
        QVERIFY(finished.wait(60000));
        QCOMPARE(Status(), QStringLiteral("%1: 200000 loaded, 2 skipped").arg(output));
        QCOMPARE(CountRows(output), 200000);

        // A file without a single record is refused with its counts, as on the command line.
        const QByteArray built = ReadFile(output);
        WriteFile(csv, QByteArray());
        m_f->Prompts().Choose(csv);
        m_f->Prompts().Answer(true);
        Db().CompileAction()->trigger();
        QVERIFY(finished.wait(20000));
        const QString shown = m_f->Prompts().Shown().join(QLatin1Char('\n'));
        QVERIFY2(shown.contains(QStringLiteral("holds no QRZ record (0 loaded, 0 skipped)")),
                 qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("%1 was left as it was.").arg(output)), qPrintable(shown));
        QCOMPARE(ReadFile(output), built);
    }

    void fccStatusTexts()
    {
        const QString archive = m_f->Scratch().File(QStringLiteral("l_amat.zip"));
        m_qrz->SetFccPage(Page("<td class=\"note\">123.4 MB</td><td class=\"note\">06/30/2011</td>"));
        const QString fccTitle = QStringLiteral("FCC Database Dialog");
        const QString fccButton = QStringLiteral("Check FCC Website");

        // No archive on disk yet; then one, and the FCC's page changed: the second press shows both.
        QList<CShown> shown = Check(m_f->Frame().Commands().fccCheck, 2, [&] {
            MakeArchive(archive, 123456789, QDate(2011, 7, 3));
            m_qrz->SetFccPage(Page("<td class=\"note\">124.0 MB</td><td class=\"note\">07/07/2011</td>"));
        });
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].texts, (QStringList{fccTitle, fccButton, "Available FCC Database: ", "Unknown",
                                              "Current FCC Database: ", "Unknown"}));
        QCOMPARE(shown[1].texts.mid(3),
                 (QStringList{"06/30/2011 at 123.4 MB", "Current FCC Database: ", "Unknown"}));
        QCOMPARE(shown[1].reason, QStringLiteral("There is no l_amat.zip in %1.").arg(m_f->Scratch().Path()));
        QCOMPARE(shown[2].texts.mid(3),
                 (QStringList{"07/07/2011 at 124.0 MB", "Current FCC Database: ", "7/3/2011 at 123 MB"}));
        QCOMPARE(shown[2].reason, QString());

        // View > "&FCC Db Status" is the same dialog; a page without the cells keeps "Unknown" and says why.
        m_qrz->SetFccPage(Page("<td>124.0 MB</td><td>07/07/2011</td>"));
        shown = Check(m_f->Frame().Commands().fccDbStatus, 1);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].texts.mid(3),
                 (QStringList{"Unknown", "Current FCC Database: ", "7/3/2011 at 123 MB"}));
        QCOMPARE(shown[1].reason,
                 QStringLiteral("The FCC's page lists l_amat.zip without the expected \"note\" cells."));

        // The page cannot be reached.
        m_f->Settings().Set(Setting::FccUlsWebHost, QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort()));
        shown = Check(m_f->Frame().Commands().fccCheck, 1);
        QCOMPARE(shown[1].texts[3], QStringLiteral("Unknown"));
        QVERIFY2(shown[1].reason.startsWith(QLatin1String("The FCC's page cannot be read: ")),
                 qPrintable(shown[1].reason));
    }

    // The QRZ form: its own title and labels, and its check leaves both texts "Unknown". The archive is
    // asked for over HTTPS only, so the local plain server never sees the password.
    void qrzStatusTexts()
    {
        m_f->Settings().Set(Setting::QrzWebHost, m_qrz->HttpHost());
        m_f->Settings().Set(Setting::QrzUserName, QStringLiteral("n0tst"));
        m_f->Secrets().Write(CSecretStore::QrzAccount(QStringLiteral("n0tst")), QStringLiteral("secret"));
        const QList<CShown> shown = Check(Db().CheckAction(), 1);
        QCOMPARE(shown.size(), 2);
        for (const CShown& s : shown)
            QCOMPARE(s.texts, (QStringList{"QRZ Database Dialog", "Check QRZ Website",
                                           "Available QRZ Database: ", "Unknown",
                                           "Current QRZ Database: ", "Unknown"}));
        QVERIFY2(shown[1].reason.contains(QLatin1String("HTTPS only")), qPrintable(shown[1].reason));
        QCOMPARE(Status(), shown[1].reason);
        QVERIFY(!m_qrz->RawLog().contains("secret"));
    }
};

QTEST_MAIN(TestQrzDbBar)
#include "tst_qrzdbbar.moc"
