// logwarden-cli unzip, uls-extract and uls-download as a script would run them.
#include "support/ServerProcess.h"
#include "support/TestSupport.h"
#include "support/ZipMaker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QtTest>

using namespace TestSupport;

namespace {

// With a home, the command finds its settings and data folder there.
CCliRun Cli(const QStringList& args, const QString& home = {})
{
    if (home.isEmpty())
        return RunCli(args);
    return RunCli(args, {{QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config")},
                         {QStringLiteral("LOGWARDEN_DATA_DIR"), home + QStringLiteral("/data")}});
}

QJsonObject Entry(const QString& name, const QString& data)
{
    return {{"name", name}, {"data", data}};
}

QStringList Files(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestZipCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unzipExtractsEverything()
    {
        CScratch s;
        MakeZip(
            {{"out", s.File("a.zip")},
             {"entries", QJsonArray{Entry("dir/", ""), Entry("dir/one.txt", "1"), Entry("two.txt", "2")}}});
        const CCliRun r = Cli({"unzip", s.File("a.zip"), s.File("out")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(Files(s.File("out")), (QStringList{"one.txt", "two.txt"}));
        QCOMPARE(ReadFile(s.File("out/one.txt")), QByteArray("1"));
    }

    void damagedArchiveFails_data()
    {
        QTest::addColumn<QString>("recipe");
        QTest::addColumn<QString>("reason");
        QTest::newRow("bad CRC")
            << R"({"entries":[{"name":"AM.dat","data":"x","crc_xor":1},{"name":"EN.dat","data":"e"},)"
               R"({"name":"HD.dat","data":"h"}]})"
            << "CRC mismatch";
        QTest::newRow("no archive") << R"({"trailing":70000,"entries":[]})"
                                    << "no end of central directory record";
        QTest::newRow("corrupt deflate")
            << R"({"entries":[{"name":"AM.dat","data":"x","repeat":99,"bad_deflate":true},{"name":"EN.dat","data":"e"},)"
               R"({"name":"HD.dat","data":"h"}]})"
            << "compressed data is corrupt";
    }

    void damagedArchiveFails()
    {
        QFETCH(QString, recipe);
        QFETCH(QString, reason);
        CScratch s;
        QJsonObject o = QJsonDocument::fromJson(recipe.toUtf8()).object();
        o["out"] = s.File("a.zip");
        MakeZip(o);
        for (const QStringList& args :
             {QStringList{"unzip", s.File("a.zip"), s.File("out")},
              QStringList{"uls-extract", "--archive", s.File("a.zip"), "--dir", s.File("out")}}) {
            const CCliRun r = Cli(args);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains(reason), qPrintable(r.err));
            QVERIFY2(r.err.contains(s.File("a.zip")), qPrintable(r.err));
            QCOMPARE(Files(s.File("out")), QStringList());
        }
    }

    void ulsExtractTakesTheThreeFiles()
    {
        CScratch s;
        MakeZip({{"out", s.File("l_amat.zip")},
                 {"entries",
                  QJsonArray{Entry("counts", "c"), Entry("HD.dat", "hd"), Entry("CO.dat", "co"),
                             Entry("EN.dat", "old en"), Entry("am.dat", "lower case"), Entry("AM.dat", "am"),
                             Entry("old/AM.dat.bak", "bak"), Entry("new/EN.dat", "en")}}});
        const CCliRun r = Cli({"uls-extract", "--archive", s.File("l_amat.zip"), "--dir", s.File("out")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(Files(s.File("out")), (QStringList{"AM.dat", "AM.dat.bak", "EN.dat", "HD.dat"}));
        // Two entries for one file: the later one in the archive wins, as extracting in order would give.
        QCOMPARE(ReadFile(s.File("out/EN.dat")), QByteArray("en"));
        QCOMPARE(ReadFile(s.File("out/AM.dat.bak")), QByteArray("bak"));

        MakeZip({{"out", s.File("other.zip")}, {"entries", QJsonArray{Entry("CO.dat", "co")}}});
        const CCliRun none = Cli({"uls-extract", "--archive", s.File("other.zip"), "--dir", s.File("out2")});
        QCOMPARE(none.exitCode, 1);
        QVERIFY2(none.err.contains("holds no AM.dat, EN.dat, HD.dat"), qPrintable(none.err));
    }

    void ulsDownload_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("success") << "/files/l_amat.zip" << 0 << "Saved";
        QTest::newRow("missing") << "/files/nothing.zip" << 1 << "The File specified could not be found";
        QTest::newRow("interrupted") << "/truncate/l_amat.zip" << 1 << "The previous file was kept";
    }

    void ulsDownload()
    {
        QFETCH(QString, path);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        CScratch served;
        MakeZip(
            {{"out", served.File("l_amat.zip")},
             {"entries", QJsonArray{Entry("AM.dat", "am"), Entry("EN.dat", "en"), Entry("HD.dat", "hd")}}});
        CServerProcess http(QStringLiteral("http_server.py"), {served.Path()});
        CScratch s;
        QDir().mkpath(s.File("dl"));
        QFile old(s.File("dl/l_amat.zip"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        const QString url = http.Url("http", path);
        const CCliRun r = Cli({"uls-download", "--url", url, "--dir", s.File("dl")}, s.Path());
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2((r.out + r.err).contains(message), qPrintable(r.out + r.err));
        QCOMPARE(ReadFile(s.File("dl/l_amat.zip")),
                 exitCode == 0 ? ReadFile(served.File("l_amat.zip")) : QByteArray("old"));
        QCOMPARE(Files(s.File("dl")), QStringList{"l_amat.zip"});
    }

    void ulsDownloadTakesTheUrlFromTheSettings()
    {
        CScratch served;
        MakeZip(
            {{"out", served.File("l_amat.zip")},
             {"entries", QJsonArray{Entry("AM.dat", "am"), Entry("EN.dat", "en"), Entry("HD.dat", "hd")}}});
        CServerProcess ftp(QStringLiteral("ftp_server.py"), {served.Path()});
        CScratch s;
        QDir().mkpath(s.File("config/Logwarden"));
        QFile ini(s.File("config/Logwarden/Logwarden.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\nFccArchiveUrl=" + ftp.Url("ftp", "/l_amat.zip").toUtf8() + "\n");
        ini.close();
        const CCliRun r = Cli({"uls-download", "--dir", s.File("dl")}, s.Path());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(ReadFile(s.File("dl/l_amat.zip")), ReadFile(served.File("l_amat.zip")));
    }
};

QTEST_GUILESS_MAIN(TestZipCli)
#include "tst_zipcli.moc"
