// "DLoad" and "Extract" in the real main window, offscreen, against a local HTTP server.
#include "gui/fcc/FccDownloadDlg.h"
#include "gui/fcc/FccDownloadModule.h"
#include "support/ServerProcess.h"
#include "support/ZipMaker.h"
#include "support/gui/GuiFixture.h"

#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace TestSupport;

namespace {

CDownloadDlg* OpenDialog(CGuiFixture& f)
{
    f.Frame().Commands().fccDownload->trigger();
    auto* dlg = f.Frame().findChild<CDownloadDlg*>(QStringLiteral("downloadDlg"));
    if (dlg && !QTest::qWaitForWindowExposed(dlg))
        return nullptr;
    return dlg;
}

// The message a failed command showed (the job ends off the window's thread, so it may take a moment).
QString TakeMessage(CGuiFixture& f)
{
    const int before = int(f.Prompts().Shown().size());
    if (!QTest::qWaitFor([&] { return f.Prompts().Shown().size() > before; }, 10000))
        return QStringLiteral("<no message>");
    return f.Prompts().Last();
}

} // namespace

class TestDownloadDlg : public QObject
{
    Q_OBJECT

    CScratch m_served;
    std::unique_ptr<CServerProcess> m_http;

private Q_SLOTS:
    void initTestCase()
    {
        QJsonArray entries;
        for (const char* name : {"counts", "AM.dat", "CO.dat", "EN.dat", "HD.dat"})
            entries.append(QJsonObject{
                {"name", name}, {"data", QStringLiteral("%1|row\r\n").arg(name)}, {"repeat", 20000}});
        MakeZip({{"out", m_served.File("l_amat.zip")}, {"entries", entries}});
        // Incompressible, for a slow download that can be cancelled half-way.
        MakeZip(
            {{"out", m_served.File("big.zip")},
             {"entries", QJsonArray{QJsonObject{{"name", "AM.dat"}, {"random", 600000}, {"method", 0}}}}});
        MakeZip({{"out", m_served.File("damaged.zip")},
                 {"entries", QJsonArray{QJsonObject{{"name", "AM.dat"}, {"data", "x"}, {"crc_xor", 1}},
                                        QJsonObject{{"name", "EN.dat"}, {"data", "e"}},
                                        QJsonObject{{"name", "HD.dat"}, {"data", "h"}}}}});
        m_http =
            std::make_unique<CServerProcess>(QStringLiteral("http_server.py"), QStringList{m_served.Path()});
    }

    void cleanupTestCase() { m_http.reset(); }

    void dialogShowsItsFields()
    {
        CGuiFixture f;
        QVERIFY(f.Frame().Commands().fccDownload->isEnabled());
        QVERIFY(f.Frame().Commands().fccExtract->isEnabled());
        CDownloadDlg* dlg = OpenDialog(f);
        QVERIFY(dlg);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("FCC Download Dialog"));
        QCOMPARE(dlg->UrlEdit()->text(),
                 QStringLiteral("https://data.fcc.gov/download/pub/uls/complete/l_amat.zip"));
        // Unset storage folder: the working directory, which is the data folder.
        QCOMPARE(dlg->SaveToEdit()->text(), QDir::currentPath());
        QCOMPARE(dlg->DownloadButton()->text(), QStringLiteral("Download FCC Database"));
        QCOMPARE(dlg->ProgressBar()->minimum(), 0);
        QCOMPARE(dlg->ProgressBar()->maximum(), 100);
        QVERIFY(dlg->findChild<QPushButton*>(QStringLiteral("browse")));
        // A second "DLoad" leaves the open dialog as it is.
        dlg->UrlEdit()->setText(QStringLiteral("typed"));
        f.Frame().Commands().fccDownload->trigger();
        QCOMPARE(dlg->UrlEdit()->text(), QStringLiteral("typed"));
        QCOMPARE(f.Frame().findChildren<CDownloadDlg*>().size(), 1);
        QPushButton* cancel = nullptr;
        for (auto* b : dlg->findChildren<QPushButton*>())
            if (b->text().remove(QLatin1Char('&')) == QLatin1String("Cancel"))
                cancel = b;
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!dlg->isVisible());
        // Cancel kept nothing typed; the next "DLoad" shows the settings again.
        f.Frame().Commands().fccDownload->trigger();
        QCOMPARE(dlg->UrlEdit()->text(),
                 QStringLiteral("https://data.fcc.gov/download/pub/uls/complete/l_amat.zip"));
    }

    void downloadThenExtract()
    {
        CGuiFixture f;
        CDownloadDlg* dlg = OpenDialog(f);
        QVERIFY(dlg);
        const QString folder = f.Scratch().File(QStringLiteral("fcc"));
        dlg->UrlEdit()->setText(m_http->Url("http", "/files/l_amat.zip"));
        dlg->SaveToEdit()->setText(folder);
        QTest::mouseClick(dlg->DownloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dlg->DownloadButton()->isEnabled(), 20000);
        QCOMPARE(dlg->ProgressBar()->value(), 100);
        QCOMPARE(ReadFile(folder + "/l_amat.zip"), ReadFile(m_served.File("l_amat.zip")));
        QCOMPARE(f.Settings().Get(Setting::FccStorageLocation), folder);
        QCOMPARE(f.Settings().Get(Setting::FccArchiveUrl), m_http->Url("http", "/files/l_amat.zip"));
        QVERIFY(f.Frame().StatusText().contains("Downloaded"));

        f.Frame().Commands().fccExtract->trigger();
        auto* module = f.Frame().findChild<CLicDbDownloadModule*>();
        QVERIFY(module);
        QTRY_VERIFY_WITH_TIMEOUT(!module->IsExtracting(), 20000);
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 (QStringList{"AM.dat", "EN.dat", "HD.dat", "l_amat.zip"}));
        QCOMPARE(ReadFile(folder + "/HD.dat"), QByteArray("HD.dat|row\r\n").repeated(20000));
        QCOMPARE(f.Frame().StatusText(),
                 QStringLiteral("Extracted AM.dat, EN.dat, HD.dat into %1").arg(folder));
        QVERIFY(f.Frame().Commands().fccExtract->isEnabled());
    }

    void failedDownloadKeepsTheArchive_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing")
            << "/files/absent.zip"
            << "The File specified could not be found. Check your spelling and try again!!";
        QTest::newRow("refused") << ""
                                 << "Could not connect to the server: ";
    }

    void failedDownloadKeepsTheArchive()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        CGuiFixture f;
        WriteFile(f.Scratch().File("l_amat.zip"), "old archive");
        CDownloadDlg* dlg = OpenDialog(f);
        QVERIFY(dlg);
        dlg->UrlEdit()->setText(path.isEmpty()
                                    ? QStringLiteral("http://127.0.0.1:%1/l_amat.zip").arg(ClosedPort())
                                    : m_http->Url("http", path));
        QTest::mouseClick(dlg->DownloadButton(), Qt::LeftButton);
        QVERIFY(TakeMessage(f).startsWith(message));
        QVERIFY(dlg->DownloadButton()->isEnabled());
        QCOMPARE(ReadFile(f.Scratch().File("l_amat.zip")), QByteArray("old archive"));
    }

    void cancelStopsTheDownload()
    {
        CGuiFixture f;
        WriteFile(f.Scratch().File("l_amat.zip"), "old archive");
        CDownloadDlg* dlg = OpenDialog(f);
        QVERIFY(dlg);
        dlg->UrlEdit()->setText(m_http->Url("http", "/slow/big.zip"));
        QTest::mouseClick(dlg->DownloadButton(), Qt::LeftButton);
        // Progress shows while the window stays responsive.
        QTRY_VERIFY_WITH_TIMEOUT(dlg->ProgressBar()->value() > 0, 20000);
        QVERIFY(dlg->IsDownloading());
        QVERIFY2(dlg->ProgressBar()->text().contains("kB of 586 kB"), qPrintable(dlg->ProgressBar()->text()));
        // The status bar shows it too, with its own Cancel.
        QVERIFY(f.Frame().Progress().Task("downloadProgress"));
        dlg->reject();
        QVERIFY(!dlg->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->IsDownloading(), 10000);
        QCOMPARE(ReadFile(f.Scratch().File("l_amat.zip")), QByteArray("old archive"));
        QCOMPARE(QDir(f.Scratch().Path()).entryList({"*.part"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void extractReportsADamagedArchive()
    {
        CGuiFixture f;
        // StorageLocation unset: the archive is looked for in the data folder.
        QFile::copy(m_served.File("damaged.zip"), f.Scratch().File("l_amat.zip"));
        f.Frame().Commands().fccExtract->trigger();
        const QString text = TakeMessage(f);
        QVERIFY2(text.contains("CRC mismatch"), qPrintable(text));
        QVERIFY(!QFile::exists(f.Scratch().File("AM.dat")));
        QVERIFY(f.Frame().Commands().fccExtract->isEnabled());

        QFile::remove(f.Scratch().File("l_amat.zip"));
        f.Frame().Commands().fccExtract->trigger();
        QVERIFY(TakeMessage(f).contains("Cannot open the archive"));
    }
};

QTEST_MAIN(TestDownloadDlg)
#include "tst_downloaddlg.moc"
