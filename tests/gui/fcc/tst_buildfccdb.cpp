// "Compile": the BuildFCCDb dialog builds the FCC database off the window's thread, shows its progress,
// can be cancelled, and the FCC and QRZ pages open from the database it built.
#include "core/fcc/FccLookup.h"
#include "gui/fcc/FccBuildDbDlg.h"
#include "gui/fcc/FccWebPages.h"
#include "gui/log/DayListPanel.h"
#include "gui/log/LogwardenView.h"
#include "support/UlsFiles.h"
#include "support/gui/GuiFixture.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace TestSupport;

namespace {

void WriteLicences(const QString& folder, int count, const QString& prefix, const QString& name)
{
    QList<QByteArray> am, en, hd;
    for (int i = 1; i <= count; ++i) {
        const QString call = prefix + QString::number(i);
        am << AmLine(i, call, QStringLiteral("E"));
        en << EnLine(i, call, name, QStringLiteral("%1 MAIN ST").arg(i), QStringLiteral("HARTFORD"),
                     QStringLiteral("CT"), QStringLiteral("06101"));
        hd << HdLine(i, call);
    }
    WriteUlsFiles(folder, CrLf(am), CrLf(en), CrLf(hd));
}

} // namespace

class CUrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class TestBuildFccDb : public QObject
{
    Q_OBJECT

    static CBuildFCCDbDlg* OpenDialog(CGuiFixture& f)
    {
        QAction* compile = f.Frame().Commands().fccCompile;
        if (!compile->isEnabled())
            return nullptr;
        compile->trigger();
        auto* dialog = f.Frame().findChild<CBuildFCCDbDlg*>();
        if (dialog && !QTest::qWaitForWindowExposed(dialog))
            return nullptr;
        return dialog;
    }

    static QPushButton* Button(CBuildFCCDbDlg* dialog, const char* name)
    {
        return dialog->findChild<QPushButton*>(QLatin1String(name));
    }

private Q_SLOTS:
    void compileOpensOneBuildDialog()
    {
        CGuiFixture f;
        CBuildFCCDbDlg* dialog = OpenDialog(f);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("BuildFCCDb"));
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->findChild<QLineEdit*>("inputPath")->text(), f.Scratch().File("AM.dat"));
        QCOMPARE(dialog->findChild<QLineEdit*>("outputPath")->text(), f.Scratch().File("FCC97.db"));
        QVERIFY(!Button(dialog, "cancelBuild")->isEnabled());
        QCOMPARE(OpenDialog(f), dialog);
        QCOMPARE(f.Frame().findChildren<CBuildFCCDbDlg*>().size(), 1);

        QPointer<CBuildFCCDbDlg> watch(dialog);
        Button(dialog, "done")->click();
        QTRY_VERIFY(watch.isNull());
    }

    void createDbBuildsWhileTheWindowStaysLive()
    {
        CGuiFixture f;
        // The day list shows its position a moment after the start; let it, so that it does not
        // overwrite the build's text in the status bar.
        f.Frame().FormView()->DayListPanel()->Refresh();
        WriteLicences(f.Scratch().Path(), 20000, QStringLiteral("W"), QStringLiteral("DOE, JANE"));
        CBuildFCCDbDlg* dialog = OpenDialog(f);
        QVERIFY(dialog);
        QSignalSpy progress(dialog, &CBuildFCCDbDlg::progressChanged);
        QSignalSpy finished(dialog, &CBuildFCCDbDlg::buildFinished);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(1);

        Button(dialog, "createDb")->click();
        // The click returns at once: the build runs on its own threads.
        QVERIFY(dialog->IsBuilding());
        QVERIFY(!Button(dialog, "createDb")->isEnabled());
        QVERIFY(Button(dialog, "cancelBuild")->isEnabled());
        // The build shows in the status bar, with a Cancel of its own.
        QPointer<CProgressTask> task = dialog->ProgressTask();
        QVERIFY(task);
        QCOMPARE(f.Frame().Progress().Task("fccBuildProgress"), task.data());
        QVERIFY(task->IsCancellable());

        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
        QCOMPARE(dialog->GetStatusText(), QStringLiteral("Compile Complete"));
        QCOMPARE(dialog->GetCountsText(),
                 QStringLiteral("AM: 20000 loaded, 0 skipped\nEN: 20000 loaded, 0 skipped\n"
                                "HD: 20000 loaded, 0 skipped"));
        QCOMPARE(f.Frame().StatusText(), QStringLiteral("Compile Complete"));
        QTRY_VERIFY(task.isNull());
        QVERIFY(Button(dialog, "createDb")->isEnabled());
        QVERIFY(ticks > 0);
        QVERIFY(progress.size() >= 3);
        QCOMPARE(progress.first().at(0).toString(), QStringLiteral("AM (1 of 3) Build Current position 0%"));
        QVERIFY(
            progress.last().at(0).toString().startsWith(QLatin1String("HD (3 of 3) Build Current position")));

        const CFccLookupResult r =
            f.Doc().FccDatabase().LookUp(f.Scratch().File("FCC97.db"), QStringLiteral("W1234"));
        QVERIFY(r.found);
        QCOMPARE(r.addr1, QStringLiteral("1234 MAIN ST"));
        QCOMPARE(r.operatorClass, QStringLiteral("E"));
    }

    void cancelLeavesThePreviousDatabase()
    {
        CGuiFixture f;
        WriteLicences(f.Scratch().Path(), 3, QStringLiteral("K1OLD"), QStringLiteral("OLD"));
        QCOMPARE(BuildFccDb(f.Scratch().Path(), f.Scratch().File("FCC97.db")).state, CFccDbBuild::Succeeded);
        WriteLicences(f.Scratch().Path(), 60000, QStringLiteral("W"), QStringLiteral("NEW"));

        CBuildFCCDbDlg* dialog = OpenDialog(f);
        QVERIFY(dialog);
        QSignalSpy finished(dialog, &CBuildFCCDbDlg::buildFinished);
        Button(dialog, "createDb")->click();
        Button(dialog, "cancelBuild")->click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
        QCOMPARE(finished.first().at(0).value<CFccDbBuild::State>(), CFccDbBuild::Cancelled);
        QCOMPARE(dialog->GetStatusText(), QStringLiteral("Compile Cancelled"));
        QCOMPARE(f.Doc().FccDatabase().LookUp(f.Scratch().File("FCC97.db"), QStringLiteral("K1OLD2")).name,
                 QStringLiteral("OLD"));
        QVERIFY(!f.Doc().FccDatabase().LookUp(f.Scratch().File("FCC97.db"), QStringLiteral("W1")).found);
    }

    void closingDuringABuildStopsIt()
    {
        CGuiFixture f;
        WriteLicences(f.Scratch().Path(), 60000, QStringLiteral("W"), QStringLiteral("NEW"));
        CBuildFCCDbDlg* dialog = OpenDialog(f);
        QVERIFY(dialog);
        QPointer<CBuildFCCDbDlg> watch(dialog);
        Button(dialog, "createDb")->click();
        Button(dialog, "done")->click();
        QTRY_VERIFY(watch.isNull());
        QVERIFY(!QFile::exists(f.Scratch().File("FCC97.db")));
        QCOMPARE(QDir(f.Scratch().Path()).entryList({".FCC97.db.*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void missingFilesAreReported()
    {
        CGuiFixture f;
        CBuildFCCDbDlg* dialog = OpenDialog(f);
        QVERIFY(dialog);
        Button(dialog, "createDb")->click();
        QCOMPARE(f.Prompts().Last(),
                 QStringLiteral("Couldn't open the AM.dat file:\nPlease make sure it is in selected "
                                "directory, and try again."));
        QVERIFY(!dialog->IsBuilding());
        QVERIFY(Button(dialog, "createDb")->isEnabled());
    }

    void choosingAFolderAsksBeforeOverwriting()
    {
        CGuiFixture f;
        const QString folder = f.Scratch().File("uls");
        QVERIFY(QDir().mkpath(folder));
        WriteFile(folder + "/FCC97.db", "old");
        CBuildFCCDbDlg* dialog = OpenDialog(f);
        QVERIFY(dialog);
        const QString input = dialog->GetInputPath(), output = dialog->GetOutputPath();

        f.Prompts().Answer(false);
        QVERIFY(!dialog->ApplyChosenFile(folder + "/AM.dat"));
        QCOMPARE(f.Prompts().Last(), QStringLiteral("File %1/FCC97.db exists! Overwrite?").arg(folder));
        QCOMPARE(dialog->GetInputPath(), input);
        QCOMPARE(dialog->GetOutputPath(), output);
        QVERIFY(!f.Settings().Contains(Setting::FccInputFile));
        QVERIFY(!f.Settings().Contains(Setting::FccOutputFile));

        f.Prompts().Answer(true);
        QVERIFY(dialog->ApplyChosenFile(folder + "/AM.dat"));
        QCOMPARE(dialog->GetInputPath(), folder + "/*.dat");
        QCOMPARE(dialog->GetOutputPath(), folder + "/FCC97.db");
        QCOMPARE(dialog->findChild<QLineEdit*>("outputPath")->text(), folder + "/FCC97.db");
        QCOMPARE(f.Settings().Get(Setting::FccInputFile), folder + "/*.dat");
        QCOMPARE(f.Settings().Get(Setting::FccOutputFile), folder + "/FCC97.db");
        // The look-ups follow the database that "Compile" builds.
        QCOMPARE(FccDatabasePath(f.Settings()), folder + "/FCC97.db");

        // A folder without a database: no question.
        QVERIFY(dialog->ApplyChosenFile(f.Scratch().File("AM.dat")));
        QCOMPARE(dialog->GetOutputPath(), f.Scratch().File("FCC97.db"));
    }

    void licenceAndCallbookPagesOpenInTheBrowser()
    {
        CGuiFixture f;
        WriteLicences(f.Scratch().Path(), 3, QStringLiteral("K1T"), QStringLiteral("T"));
        QCOMPARE(BuildFccDb(f.Scratch().Path(), f.Scratch().File("FCC97.db")).state, CFccDbBuild::Succeeded);
        CUrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        f.Settings().Set(Setting::QrzWebHost, "qrz.example");

        QCOMPARE(FccWebPages::OpenFccLicencePage(f.Doc().FccDatabase(), f.Settings(), QStringLiteral("K1T2")),
                 QString());
        QCOMPARE(
            FccWebPages::OpenFccLicencePage(f.Doc().FccDatabase(), f.Settings(), QStringLiteral("W9NONE")),
            QStringLiteral("No FCC licence found for W9NONE"));
        QCOMPARE(FccWebPages::OpenFccLicencePage(f.Doc().FccDatabase(), f.Settings(), QString()), QString());
        FccWebPages::OpenQrzPage(f.Settings(), QStringLiteral("K1T2"));
        FccWebPages::OpenQrzPage(f.Settings(), QString());
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

        QCOMPARE(catcher.urls,
                 (QList<QUrl>{QUrl("http://wireless2.fcc.gov/UlsApp/UlsSearch/license.jsp?licKey=2"),
                              QUrl("http://qrz.example/db/K1T2"), QUrl("http://qrz.example/db/")}));
    }
};

QTEST_MAIN(TestBuildFccDb)
#include "tst_buildfccdb.moc"
