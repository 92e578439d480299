// The ZIP reader on archives made by our own raw writer, by Python's zipfile and by the zip program:
// what is extracted, what is refused, and that nothing escapes the target folder.
// Test labels: threads
#include "core/Exceptions.h"
#include "core/zip/ParallelExtract.h"
#include "core/zip/ZipArchive.h"
#include "core/zip/ZipException.h"
#include "support/TestSupport.h"
#include "support/ZipMaker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>

using namespace TestSupport;

namespace {

QByteArray Data(const QJsonObject& entry)
{
    return entry.value(QStringLiteral("data"))
        .toString()
        .toUtf8()
        .repeated(entry.value(QStringLiteral("repeat")).toInt(1));
}

// Extracts every entry the way "logwarden-cli unzip" does.
void ExtractAll(const QString& archivePath, const QString& folder)
{
    CZipArchive zip;
    zip.OpenArchive(archivePath);
    for (int i = 0; i < zip.GetEntryCount(); ++i)
        zip.ExtractEntry(i, folder);
}

// Runs f and returns the cause of the CZipException it raises (0 when it raises none).
template <typename F> int CauseOf(F f)
{
    try {
        f();
    } catch (const CZipException& e) {
        return e.Cause();
    }
    return 0;
}

QStringList Listing(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

class TestZipArchive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extractsEveryKindOfEntry_data()
    {
        QTest::addColumn<QString>("recipe");
        // Each entry's file must hold data * repeat under the expected name.
        QTest::addColumn<QStringList>("files");
        QTest::newRow("deflated")
            << R"({"entries":[{"name":"AM.dat","data":"AM|1|K1ABC\r\n","repeat":5000}]})"
            << QStringList{"AM.dat"};
        QTest::newRow("stored") << R"({"entries":[{"name":"EN.dat","data":"EN|x","repeat":3,"method":0}]})"
                                << QStringList{"EN.dat"};
        QTest::newRow("empty file")
            << R"({"entries":[{"name":"HD.dat","data":""}, {"name":"e0","data":"","method":0}]})"
            << QStringList{"HD.dat", "e0"};
        QTest::newRow("descriptor with signature")
            << R"({"entries":[{"name":"a","data":"abc","repeat":70000,"descriptor":"signed"},
                              {"name":"b","data":"b","descriptor":"signed","method":0}]})"
            << QStringList{"a", "b"};
        QTest::newRow("descriptor without signature")
            << R"({"entries":[{"name":"a","data":"abc","repeat":70000,"descriptor":"unsigned"},
                              {"name":"b","data":"xyz","descriptor":"unsigned","method":0}]})"
            << QStringList{"a", "b"};
        QTest::newRow("folders in names")
            << R"({"entries":[{"name":"data/","data":"","external":16},{"name":"data/AM.dat","data":"am"},
                              {"name":"x/y/z/EN.dat","data":"en"}]})"
            << QStringList{"AM.dat", "EN.dat"};
        QTest::newRow("comment of 65535 bytes")
            << R"({"comment_len":65535,"entries":[{"name":"c","data":"c"}]})" << QStringList{"c"};
        QTest::newRow("stub before the archive")
            << R"({"stub":"#!/bin/sh\necho self-extracting stub\nexit 0\n","entries":[{"name":"a","data":"A","repeat":9},{"name":"b","data":"B"}]})"
            << QStringList{"a", "b"};
        QTest::newRow("python zipfile")
            << R"({"writer":"zipfile","entries":[{"name":"AM.dat","data":"am|","repeat":999},
                                                {"name":"s","data":"stored","method":0}]})"
            << QStringList{"AM.dat", "s"};
        QTest::newRow("python zipfile streamed") << R"({"writer":"zipfile-streamed","comment":"hi",
                                                        "entries":[{"name":"d/HD.dat","data":"hd|","repeat":40000},
                                                                   {"name":"s","data":"stored","method":0}]})"
                                                 << QStringList{"HD.dat", "s"};
        QTest::newRow("python zipfile with stub") << R"({"writer":"zipfile","stub":"MZ-stub-bytes",
                                                        "entries":[{"name":"a","data":"a","repeat":10}]})"
                                                  << QStringList{"a"};
        QTest::newRow("code page 437 name")
            << R"({"entries":[{"name":"Müller.txt","data":"m"}]})" << QStringList{"Müller.txt"};
        QTest::newRow("UTF-8 name") << R"({"entries":[{"name":"Überweisung €.txt","data":"u","utf8":true}]})"
                                    << QStringList{"Überweisung €.txt"};
    }

    void extractsEveryKindOfEntry()
    {
        QFETCH(QString, recipe);
        QFETCH(QStringList, files);
        CScratch s;
        QJsonObject o = QJsonDocument::fromJson(recipe.toUtf8()).object();
        QVERIFY(!o.isEmpty());
        o[QStringLiteral("out")] = s.File(QStringLiteral("a.zip"));
        MakeZip(o);
        const QString out = s.File(QStringLiteral("out"));
        ExtractAll(s.File(QStringLiteral("a.zip")), out);
        QStringList sorted = files;
        sorted.sort();
        QCOMPARE(Listing(out), sorted);
        const QJsonArray entries = o.value(QStringLiteral("entries")).toArray();
        for (const auto& v : entries) {
            const QJsonObject e = v.toObject();
            const QString base = CZipArchive::SafeBaseName(e.value(QStringLiteral("name")).toString());
            if (base.isEmpty())
                continue;
            QCOMPARE(ReadFile(out + QLatin1Char('/') + base), Data(e));
        }
    }

    void emptyArchiveHasNoEntries_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::newRow("raw") << "raw";
        QTest::newRow("python zipfile") << "zipfile";
    }

    void emptyArchiveHasNoEntries()
    {
        QFETCH(QString, writer);
        CScratch s;
        QJsonObject o{{"out", s.File("e.zip")}, {"writer", writer}, {"entries", QJsonArray()}};
        CZipArchive zip;
        zip.OpenArchive(MakeZip(o));
        QCOMPARE(zip.GetEntryCount(), 0);
        CFileHeader h;
        QVERIFY(!zip.GetEntryInfo(h, 0));
        QVERIFY(!zip.ExtractEntry(0, s.File("out")));
    }

    void rejectsDamagedArchives_data()
    {
        QTest::addColumn<QString>("recipe");
        QTest::addColumn<int>("cause");
        // Entries damaged: the previous file of the same name must survive, and no partial file appear.
        const int bad = CZipException::badZipFile;
        QTest::newRow("bad CRC") << R"({"entries":[{"name":"AM.dat","data":"x","repeat":1000,"crc_xor":1}]})"
                                 << int(CZipException::badCrc);
        QTest::newRow("bad CRC, stored")
            << R"({"entries":[{"name":"AM.dat","data":"x","method":0,"crc_xor":255}]})"
            << int(CZipException::badCrc);
        QTest::newRow("corrupt deflate stream")
            << R"({"entries":[{"name":"AM.dat","data":"x","repeat":1000,"bad_deflate":true}]})"
            << int(CZipException::dataError);
        QTest::newRow("end record too far from the end")
            << R"({"trailing":65536,"entries":[{"name":"a","data":"a"}]})" << bad;
        QTest::newRow("more bytes than declared")
            << R"({"entries":[{"name":"AM.dat","data":"bomb","repeat":5000,"declared_size":1000}]})" << bad;
        QTest::newRow("more bytes than declared, descriptor")
            << R"({"entries":[{"name":"AM.dat","data":"bomb","repeat":5000,"declared_size":19999,"descriptor":"unsigned"}]})"
            << bad;
        QTest::newRow("declared empty, holds data")
            << R"({"entries":[{"name":"AM.dat","data":"bomb","repeat":5000,"declared_size":0}]})" << bad;
        QTest::newRow("fewer bytes than declared")
            << R"({"entries":[{"name":"AM.dat","data":"short","repeat":10,"declared_size":51}]})" << bad;
        QTest::newRow("overlapping entries")
            << R"({"entries":[{"name":"AM.dat","data":"z","repeat":100000},{"name":"EN.dat","alias_of":0}]})"
            << bad;
        QTest::newRow("local name length differs")
            << R"({"entries":[{"name":"AM.dat","data":"a","local_name_len_delta":1}]})" << bad;
        QTest::newRow("local method differs")
            << R"({"entries":[{"name":"AM.dat","data":"a","local_method":0}]})" << bad;
        QTest::newRow("unsupported method")
            << R"({"entries":[{"name":"AM.dat","data":"a","local_method":12,"method":12}]})" << bad;
        QTest::newRow("encrypted") << R"({"entries":[{"name":"AM.dat","data":"a","encrypted":true}]})" << bad;
        QTest::newRow("data descriptor differs")
            << R"({"entries":[{"name":"AM.dat","data":"a","descriptor":"signed","descriptor_crc_xor":1}]})"
            << bad;
        QTest::newRow("count without directory")
            << R"({"end_patch":{"dir_size":0},"entries":[{"name":"a","data":"a"}]})" << bad;
        QTest::newRow("directory beyond its end record")
            << R"({"end_patch":{"dir_offset":100000},"entries":[{"name":"a","data":"a"}]})" << bad;
        QTest::newRow("more entries than the directory holds")
            << R"({"end_patch":{"entries":2,"entries_here":2},"entries":[{"name":"a","data":"a"}]})" << bad;
        QTest::newRow("second volume") << R"({"end_patch":{"disk":1},"entries":[{"name":"a","data":"a"}]})"
                                       << int(CZipException::noCallback);
        QTest::newRow("ZIP64 marker")
            << R"({"end_patch":{"dir_offset":4294967295},"entries":[{"name":"a","data":"a"}]})" << bad;
        QTest::newRow("name is ..") << R"({"entries":[{"name":"x/..","data":"evil"}]})" << bad;
        QTest::newRow("name is .") << R"({"entries":[{"name":".","data":"evil"}]})" << bad;
        QTest::newRow("name with NUL") << R"({"entries":[{"name_hex":"414d00","data":"evil"}]})" << bad;
    }

    void rejectsDamagedArchives()
    {
        QFETCH(QString, recipe);
        QFETCH(int, cause);
        CScratch s;
        QJsonObject o = QJsonDocument::fromJson(recipe.toUtf8()).object();
        QVERIFY(!o.isEmpty());
        o["out"] = s.File("a.zip");
        MakeZip(o);
        QDir().mkpath(s.File("out"));
        QFile old(s.File("out/AM.dat"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous");
        old.close();
        QCOMPARE(CauseOf([&] { ExtractAll(s.File("a.zip"), s.File("out")); }), cause);
        QCOMPARE(Listing(s.File("out")), QStringList{"AM.dat"});
        QCOMPARE(ReadFile(s.File("out/AM.dat")), QByteArray("previous"));
    }

    void rejectsWhatIsNoArchive_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("text") << QByteArray("<html>404 Not Found</html>");
        QTest::newRow("signature in the last 21 bytes") << QByteArray("PK\x05\x06 and little else", 20);
        QTest::newRow("zeros") << QByteArray(70000, '\0');
    }

    void rejectsWhatIsNoArchive()
    {
        QFETCH(QByteArray, content);
        CScratch s;
        QFile f(s.File("x.zip"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        CZipArchive zip;
        QCOMPARE(CauseOf([&] { zip.OpenArchive(s.File("x.zip")); }), int(CZipException::badZipFile));
        QVERIFY(!zip.IsOpen());
    }

    void truncatedArchiveIsRefused_data()
    {
        QTest::addColumn<int>("keep"); // bytes kept of the archive
        QTest::newRow("cut in the data") << 5000;
        QTest::newRow("cut in the directory") << -30;
        QTest::newRow("cut in the end record") << -10;
    }

    void truncatedArchiveIsRefused()
    {
        QFETCH(int, keep);
        CScratch s;
        MakeZip({{"out", s.File("a.zip")},
                 {"entries", QJsonArray{QJsonObject{{"name", "AM.dat"}, {"random", 20000}}}}});
        QFile f(s.File("a.zip"));
        QVERIFY(f.resize(keep > 0 ? keep : f.size() + keep));
        QCOMPARE(CauseOf([&] { ExtractAll(s.File("a.zip"), s.File("out")); }),
                 int(CZipException::badZipFile));
        QVERIFY(!QFile::exists(s.File("out/AM.dat")));
    }

    void missingArchiveIsAFileError()
    {
        CScratch s;
        CZipArchive zip;
        QVERIFY_THROWS_EXCEPTION(CFileException, zip.OpenArchive(s.File("absent.zip")));
        QVERIFY_THROWS_EXCEPTION(CFileException, zip.OpenArchive(s.Path()));
    }

    void hostileNamesStayInside_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("lands");
        QTest::newRow("parent") << "../evil.txt"
                                << "evil.txt";
        QTest::newRow("deep parent") << "a/../../../../evil.txt"
                                     << "evil.txt";
        QTest::newRow("absolute") << "/tmp/evil.txt"
                                  << "evil.txt";
        QTest::newRow("backslashes") << "..\\..\\evil.txt"
                                     << "evil.txt";
        QTest::newRow("drive letter") << "C:\\Windows\\evil.txt"
                                      << "evil.txt";
        QTest::newRow("hidden") << "../.bashrc"
                                << ".bashrc";
    }

    void hostileNamesStayInside()
    {
        QFETCH(QString, name);
        QFETCH(QString, lands);
        CScratch s;
        QDir().mkpath(s.File("jail/out"));
        MakeZip({{"out", s.File("jail/a.zip")},
                 {"entries", QJsonArray{QJsonObject{{"name", name}, {"data", "pwned"}}}}});
        ExtractAll(s.File("jail/a.zip"), s.File("jail/out"));
        QCOMPARE(Listing(s.File("jail/out")), QStringList{lands});
        QCOMPARE(Listing(s.File("jail")), (QStringList{"a.zip", "out"}));
        QCOMPARE(Listing(s.Path()), QStringList{"jail"});
    }

    void linkAtTheTargetIsReplacedNotFollowed()
    {
        CScratch s;
        QDir().mkpath(s.File("out"));
        QFile outside(s.File("outside.txt"));
        QVERIFY(outside.open(QIODevice::WriteOnly));
        outside.write("keep me");
        outside.close();
        QVERIFY(QFile::link(s.File("outside.txt"), s.File("out/AM.dat")));
        QVERIFY(QFile::link(s.File("nowhere"), s.File("out/EN.dat")));
        MakeZip({{"out", s.File("a.zip")},
                 {"entries", QJsonArray{QJsonObject{{"name", "AM.dat"}, {"data", "new"}},
                                        QJsonObject{{"name", "EN.dat"}, {"data", "en"}}}}});
        ExtractAll(s.File("a.zip"), s.File("out"));
        QCOMPARE(ReadFile(s.File("outside.txt")), QByteArray("keep me"));
        QVERIFY(!QFile::exists(s.File("nowhere")));
        QVERIFY(!QFileInfo(s.File("out/AM.dat")).isSymLink());
        QCOMPARE(ReadFile(s.File("out/AM.dat")), QByteArray("new"));
        QCOMPARE(ReadFile(s.File("out/EN.dat")), QByteArray("en"));
    }

    void timeAndPermissions_data()
    {
        QTest::addColumn<int>("madeBy");
        QTest::addColumn<qint64>("external");
        QTest::addColumn<int>("mode"); // before the umask
        QTest::newRow("unix 0644") << 0x031e << (qint64(0100644) << 16) << 0644;
        QTest::newRow("unix 0755") << 0x031e << (qint64(0100755) << 16) << 0755;
        QTest::newRow("unix set-uid dropped") << 0x031e << (qint64(0104755) << 16) << 0755;
        QTest::newRow("unix without mode") << 0x031e << qint64(0) << 0666;
        QTest::newRow("dos read-only") << 0x0014 << qint64(0x01) << 0444;
        QTest::newRow("dos archive bit") << 0x0014 << qint64(0x20) << 0666;
        QTest::newRow("ntfs read-only") << 0x0a14 << qint64(0x21) << 0444;
    }

    void timeAndPermissions()
    {
        QFETCH(int, madeBy);
        QFETCH(qint64, external);
        QFETCH(int, mode);
        CScratch s;
        MakeZip({{"out", s.File("a.zip")},
                 {"entries", QJsonArray{QJsonObject{{"name", "f"},
                                                    {"data", "x"},
                                                    {"made_by", madeBy},
                                                    {"external", external},
                                                    {"date_time", QJsonArray{2024, 3, 7, 19, 45, 58}}}}}});
        CZipArchive zip;
        zip.OpenArchive(s.File("a.zip"));
        QVERIFY(zip.ExtractEntry(0, s.File("out")));
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(s.File("out/f")).constData(), &st), 0);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        QCOMPARE(int(st.st_mode & 07777), int(mode & ~mask));
        QCOMPARE(QFileInfo(s.File("out/f")).lastModified(), QDateTime(QDate(2024, 3, 7), QTime(19, 45, 58)));
        // Extracting again replaces the file, read-only or not.
        QVERIFY(zip.ExtractEntry(0, s.File("out")));
    }

    void readOnlyArchiveOpens()
    {
        CScratch s;
        // A copy of a running program with an archive appended (a self-extracting archive in use): the
        // system refuses to open it for writing even to root, so this shows the archive is only read.
        QFile::copy(QStringLiteral("/bin/sleep"), s.File("sfx"));
        MakeZip({{"out", s.File("a.zip")},
                 {"entries", QJsonArray{QJsonObject{{"name", "AM.dat"}, {"data", "am"}}}}});
        QFile sfx(s.File("sfx"));
        QVERIFY(sfx.open(QIODevice::Append));
        const qint64 stub = sfx.size();
        sfx.write(ReadFile(s.File("a.zip")));
        sfx.close();
        QVERIFY(sfx.setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ReadOther));
        QProcess running;
        running.start(s.File("sfx"), {QStringLiteral("30")});
        QVERIFY(running.waitForStarted());
        CZipArchive zip;
        zip.OpenArchive(s.File("sfx"));
        QCOMPARE(zip.GetBytesBeforeZip(), stub);
        QVERIFY(zip.ExtractEntry(0, s.File("out")));
        QCOMPARE(ReadFile(s.File("out/AM.dat")), QByteArray("am"));
        running.kill();
        running.waitForFinished();
    }

    void zipProgramArchive()
    {
        CScratch s;
        QDir().mkpath(s.File("src/data"));
        QFile f(s.File("src/data/AM.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("AM|1|K1ABC|\r\n").repeated(3000));
        f.close();
        QProcess zip;
        zip.setWorkingDirectory(s.File("src"));
        zip.start(QStringLiteral("zip"),
                  {QStringLiteral("-q"), QStringLiteral("-r"), s.File("z.zip"), QStringLiteral("data")});
        QVERIFY(zip.waitForFinished());
        QCOMPARE(zip.exitCode(), 0);
        // And once more through a pipe, which makes zip write data descriptors.
        QProcess piped;
        piped.setWorkingDirectory(s.File("src"));
        piped.setStandardOutputFile(s.File("p.zip"));
        piped.start(QStringLiteral("sh"),
                    {QStringLiteral("-c"), QStringLiteral("zip -q - data/AM.dat | cat")});
        QVERIFY(piped.waitForFinished());
        for (const char* name : {"z.zip", "p.zip"}) {
            ExtractAll(s.File(name), s.File(QStringLiteral("out-") + name));
            QCOMPARE(ReadFile(s.File(QStringLiteral("out-") + name + "/AM.dat")),
                     ReadFile(s.File("src/data/AM.dat")));
        }
    }

    void readingByHand()
    {
        CScratch s;
        MakeZip({{"out", s.File("a.zip")},
                 {"entries",
                  QJsonArray{QJsonObject{{"name", "good"}, {"data", "0123456789"}, {"repeat", 1000}},
                             QJsonObject{{"name", "bad"}, {"data", "x"}, {"repeat", 10}, {"crc_xor", 1}},
                             QJsonObject{{"name", "dir/"}, {"data", ""}, {"external", 16}}}}});
        CZipArchive zip;
        zip.OpenArchive(s.File("a.zip"));
        QCOMPARE(zip.GetEntryCount(), 3);
        QVERIFY(zip.IsEntryDirectory(2));
        QVERIFY(!zip.IsEntryDirectory(0));
        QVERIFY(!zip.IsEntryDirectory(3));
        CFileHeader h;
        QVERIFY(zip.GetEntryInfo(h, 0));
        QCOMPARE(h.m_fileName, QStringLiteral("good"));
        QCOMPARE(h.m_uncompressedSize, 10000u);
        QCOMPARE(h.m_method, 8);

        // Partly read and closed: not checked, and the next entry can be opened.
        char buf[300];
        QVERIFY(zip.OpenEntry(1));
        QVERIFY(!zip.OpenEntry(0));
        QCOMPARE(zip.ReadEntry(buf, 5), 5);
        QVERIFY(zip.CloseEntry());
        QVERIFY(zip.OpenEntry(0));
        QByteArray all;
        for (qint64 n; (n = zip.ReadEntry(buf, sizeof buf)) > 0;)
            all.append(buf, n);
        QCOMPARE(all, QByteArray("0123456789").repeated(1000));
        QVERIFY(zip.CloseEntry());
        // Read to its end, a bad CRC shows at closing; the entry is closed all the same.
        QVERIFY(zip.OpenEntry(1));
        QCOMPARE(zip.ReadEntry(buf, sizeof buf), 10);
        QCOMPARE(CauseOf([&] { zip.CloseEntry(); }), int(CZipException::badCrc));
        QVERIFY(zip.OpenEntry(0));
        QVERIFY(zip.CloseEntry());
        QVERIFY(!zip.ExtractEntry(0, s.File("out"), 0));
    }

    void parallelExtraction_data()
    {
        QTest::addColumn<int>("threads");
        QTest::newRow("one thread") << 1;
        QTest::newRow("two threads") << 2;
        QTest::newRow("more threads than entries") << 8;
    }

    void parallelExtraction()
    {
        QFETCH(int, threads);
        CScratch s;
        QJsonArray entries;
        for (int i = 0; i < 5; ++i)
            entries.append(QJsonObject{{"name", QStringLiteral("f%1").arg(i)},
                                       {"data", QStringLiteral("line %1\n").arg(i)},
                                       {"repeat", 20000 * (i + 1)}});
        MakeZip({{"out", s.File("a.zip")}, {"entries", entries}});
        CZipArchive zip;
        zip.OpenArchive(s.File("a.zip"));
        qint64 last = -1, total = 0;
        CProgress progress([&](qint64 done, qint64 all, const QString&) {
            last = done;
            total = all;
        });
        const auto r =
            ParallelExtract::ExtractEntries(zip, {0, 1, 2, 3, 4}, s.File("out"), threads, &progress);
        QVERIFY(!r.cancelled);
        QVERIFY(r.attributesSet);
        QCOMPARE(last, total);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(ReadFile(s.File(QStringLiteral("out/f%1").arg(i))),
                     QStringLiteral("line %1\n").arg(i).toUtf8().repeated(20000 * (i + 1)));
        QCOMPARE(Listing(s.File("out")).size(), 5);
    }

    void parallelExtractionStops()
    {
        CScratch s;
        MakeZip(
            {{"out", s.File("a.zip")},
             {"entries",
              QJsonArray{QJsonObject{{"name", "big"}, {"random", 3000000}, {"method", 0}},
                         QJsonObject{{"name", "bad"}, {"data", "x"}, {"repeat", 3000000}, {"crc_xor", 1}}}}});
        CZipArchive zip;
        zip.OpenArchive(s.File("a.zip"));
        // Cancelled at the first report: nothing partial is left.
        CProgress cancelled;
        cancelled.Cancel();
        const auto r = ParallelExtract::ExtractEntries(zip, {0}, s.File("out"), 2, &cancelled);
        QVERIFY(r.cancelled || QFile::exists(s.File("out/big")));
        for (const QString& f : Listing(s.File("out")))
            QVERIFY2(f == QLatin1String("big"), qPrintable(f));
        // An error in one worker is raised to the caller; no temporary file stays behind.
        QCOMPARE(CauseOf([&] {
                     ParallelExtract::ExtractEntries(zip, {0, 1}, s.File("out2"), 2);
                 }),
                 int(CZipException::badCrc));
        for (const QString& f : Listing(s.File("out2")))
            QVERIFY2(f == QLatin1String("big"), qPrintable(f));
    }
};

QTEST_GUILESS_MAIN(TestZipArchive)
#include "tst_ziparchive.moc"
