// Downloading the licence archive from local HTTP and FTP servers: success, missing file, refused
// connection, broken transfers and cancelling, and that a failure always leaves the old archive.
#include "core/fcc/UlsArchive.h"
#include "core/web/FileDownload.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"
#include "support/ZipMaker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QtTest>

using namespace TestSupport;

namespace {

} // namespace

class TestFileDownload : public QObject
{
    Q_OBJECT

    CScratch m_served;
    std::unique_ptr<CServerProcess> m_http;
    std::unique_ptr<CServerProcess> m_ftp;
    QByteArray m_archive;

    QString Url(const QString& server, const QString& path)
    {
        if (server == QLatin1String("http"))
            return m_http->Url(QStringLiteral("http"), path);
        if (server == QLatin1String("ftp"))
            return m_ftp->Url(QStringLiteral("ftp"), path);
        if (server == QLatin1String("closed"))
            return QStringLiteral("http://127.0.0.1:%1%2").arg(ClosedPort()).arg(path);
        if (server == QLatin1String("closed ftp"))
            return QStringLiteral("ftp://127.0.0.1:%1%2").arg(ClosedPort()).arg(path);
        if (server == QLatin1String("no such host"))
            return QStringLiteral("https://no-such-host.invalid%1").arg(path);
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        MakeZip({{"out", m_served.File("l_amat.zip")},
                 {"entries",
                  QJsonArray{QJsonObject{{"name", "AM.dat"}, {"random", 300000}, {"method", 0}},
                             QJsonObject{{"name", "EN.dat"}, {"data", "EN|1\r\n"}, {"repeat", 1000}},
                             QJsonObject{{"name", "HD.dat"}, {"data", "HD|1\r\n"}, {"repeat", 1000}}}}});
        m_archive = ReadFile(m_served.File("l_amat.zip"));
        WriteFile(m_served.File("error.html"), "<html><body>Service unavailable</body></html>");
        m_http =
            std::make_unique<CServerProcess>(QStringLiteral("http_server.py"), QStringList{m_served.Path()});
        m_ftp =
            std::make_unique<CServerProcess>(QStringLiteral("ftp_server.py"), QStringList{m_served.Path()});
    }

    void cleanupTestCase()
    {
        m_http.reset();
        m_ftp.reset();
    }

    void download_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("failure"); // -1: success, else CDownloadException::Kind
        QTest::newRow("http") << "http"
                              << "/files/l_amat.zip" << -1;
        QTest::newRow("http redirect") << "http"
                                       << "/redirect/l_amat.zip" << -1;
        QTest::newRow("ftp anonymous") << "ftp"
                                       << "/l_amat.zip" << -1;
        QTest::newRow("http missing") << "http"
                                      << "/files/absent.zip" << int(CDownloadException::NotFound);
        QTest::newRow("ftp missing") << "ftp"
                                     << "/pub/uls/complete/l_amat.zip" << int(CDownloadException::NotFound);
        QTest::newRow("refused") << "closed"
                                 << "/l_amat.zip" << int(CDownloadException::ConnectFailed);
        QTest::newRow("ftp refused") << "closed ftp"
                                     << "/l_amat.zip" << int(CDownloadException::ConnectFailed);
        QTest::newRow("no such host") << "no such host"
                                      << "/l_amat.zip" << int(CDownloadException::ConnectFailed);
        QTest::newRow("interrupted") << "http"
                                     << "/truncate/l_amat.zip" << int(CDownloadException::Incomplete);
        QTest::newRow("not an archive") << "http"
                                        << "/files/error.html" << int(CDownloadException::Rejected);
        QTest::newRow("not a URL") << "none"
                                   << "l_amat.zip" << int(CDownloadException::ConnectFailed);
        QTest::newRow("other scheme") << "none"
                                      << "file:///etc/passwd" << int(CDownloadException::ConnectFailed);
    }

    void download()
    {
        QFETCH(QString, server);
        QFETCH(QString, path);
        QFETCH(int, failure);
        CScratch s;
        WriteFile(s.File("l_amat.zip"), "the previous archive");
        qint64 lastReceived = -1, lastTotal = -2;
        CProgress progress([&](qint64 received, qint64 total, const QString&) {
            lastReceived = received;
            lastTotal = total;
        });
        int kind = -1;
        QString message;
        try {
            QVERIFY(UlsArchive::Download(Url(server, path), s.Path(), &progress));
        } catch (const CDownloadException& e) {
            kind = e.GetKind();
            message = e.Message();
        }
        QCOMPARE(kind, failure);
        if (failure < 0) {
            QCOMPARE(ReadFile(s.File("l_amat.zip")), m_archive);
            QCOMPARE(lastReceived, qint64(m_archive.size()));
            QCOMPARE(lastTotal, qint64(m_archive.size()));
        } else {
            QCOMPARE(ReadFile(s.File("l_amat.zip")), QByteArray("the previous archive"));
        }
        // The FTP server's text for an FTP server only; otherwise the cause.
        if (failure == CDownloadException::ConnectFailed && server == QLatin1String("closed ftp"))
            QCOMPARE(message,
                     QStringLiteral("Could not connect to ftp server!! \nPlease ensure you have correct "
                                    "address and access rights!"));
        else if (failure == CDownloadException::ConnectFailed && server != QLatin1String("none"))
            QVERIFY2(message.startsWith(QLatin1String("Could not connect to the server: ")) &&
                         !message.contains(QLatin1String("ftp")),
                     qPrintable(message));
        if (failure == CDownloadException::NotFound)
            QCOMPARE(
                message,
                QStringLiteral("The File specified could not be found. Check your spelling and try again!!"));
        QCOMPARE(QDir(s.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"l_amat.zip"});
    }

    // A download never fills the disk: it stops at the size limit, at the announced length, or when the
    // room kept for the log would go, and the old archive stays.
    void downloadsStopBeforeFillingTheDisk_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<qint64>("reserveBytes");
        QTest::addColumn<int>("failure");
        const qint64 mb = 1024 * 1024;
        const qint64 room = qint64(64) * mb;
        QTest::newRow("without end, past the limit")
            << "http"
            << "/endless/l_amat.zip" << mb << room << int(CDownloadException::TooLarge);
        QTest::newRow("an announced length past the limit")
            << "http"
            << "/files/l_amat.zip" << qint64(100000) << room << int(CDownloadException::TooLarge);
        QTest::newRow("ftp past the limit")
            << "ftp"
            << "/l_amat.zip" << qint64(100000) << room << int(CDownloadException::TooLarge);
        QTest::newRow("without end, too little room left")
            << "http"
            << "/endless/l_amat.zip" << (qint64(1) << 40) << (qint64(1) << 62)
            << int(CDownloadException::NoRoom);
        QTest::newRow("an announced length, too little room left")
            << "http"
            << "/files/l_amat.zip" << (qint64(1) << 40) << (qint64(1) << 62)
            << int(CDownloadException::NoRoom);
    }
    void downloadsStopBeforeFillingTheDisk()
    {
        QFETCH(QString, server);
        QFETCH(QString, path);
        QFETCH(qint64, maxBytes);
        QFETCH(qint64, reserveBytes);
        QFETCH(int, failure);
        CScratch s;
        WriteFile(s.File("l_amat.zip"), "the previous archive");
        CDownloadOptions options;
        options.maxBytes = maxBytes;
        options.reserveBytes = reserveBytes;
        int kind = -1;
        try {
            UlsArchive::Download(Url(server, path), s.Path(), {}, options);
        } catch (const CDownloadException& e) {
            kind = e.GetKind();
            QVERIFY2(e.Message().startsWith(QLatin1String("The download was given up: ")) &&
                         e.Message().endsWith(QLatin1String("The previous file was kept.")),
                     qPrintable(e.Message()));
        }
        QCOMPARE(kind, failure);
        QCOMPARE(ReadFile(s.File("l_amat.zip")), QByteArray("the previous archive"));
        QCOMPARE(QDir(s.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"l_amat.zip"});
    }

    void firstDownloadCreatesTheFolder()
    {
        CScratch s;
        QVERIFY(UlsArchive::Download(Url("http", "/files/l_amat.zip"), s.File("new/folder"), {}));
        QCOMPARE(ReadFile(s.File("new/folder/l_amat.zip")), m_archive);
        QCOMPARE(QFileInfo(s.File("new/folder/l_amat.zip")).permissions() & QFile::ReadOther,
                 QFile::ReadOther);
    }

    void cancelKeepsTheOldArchive_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("path");
        QTest::newRow("http") << "http"
                              << "/slow/l_amat.zip";
        QTest::newRow("ftp") << "ftp"
                             << "/l_amat.zip";
    }

    void cancelKeepsTheOldArchive()
    {
        QFETCH(QString, server);
        QFETCH(QString, path);
        CScratch s;
        WriteFile(s.File("l_amat.zip"), "the previous archive");
        // Cancelled once the first bytes have come.
        CProgress progress([&progress](qint64 received, qint64, const QString&) {
            if (received > 0)
                progress.Cancel();
        });
        QVERIFY(!UlsArchive::Download(Url(server, path), s.Path(), &progress));
        QCOMPARE(ReadFile(s.File("l_amat.zip")), QByteArray("the previous archive"));
        QCOMPARE(QDir(s.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"l_amat.zip"});
    }
};

QTEST_GUILESS_MAIN(TestFileDownload)
#include "tst_filedownload.moc"
