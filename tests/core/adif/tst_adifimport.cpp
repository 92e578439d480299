// Export and import through the log: round trips, duplicates, and imports that stop half-way leaving the
// log as it was.
#include "core/Exceptions.h"
#include "core/adif/AdifCheckin.h"
#include "core/adif/AdifExport.h"
#include "core/adif/AdifImport.h"
#include "core/db/Database.h"
#include "core/jobs/Progress.h"
#include "core/log/CheckinQuery.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {

const QTimeZone kZone("America/New_York");

std::vector<CCheckinRecord> All(CDatabase& db)
{
    std::vector<CCheckinRecord> all;
    CheckinQuery::ForEach(db, {}, LogSort::kId, [&](const CCheckinRecord& r) { all.push_back(r); });
    return all;
}

QByteArray Export(CDatabase& db, CAdifWriter::Format format, const CQueryFilter& filter = {})
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    AdifExport::COptions options;
    options.format = format;
    options.zone = kZone;
    AdifExport::Write(db, filter, out, options);
    return out.data();
}

AdifImport::CResult Import(CCheckinStore& store, const QByteArray& file, AdifImport::COptions options = {})
{
    QBuffer in;
    in.setData(file);
    in.open(QIODevice::ReadOnly);
    options.zone = kZone;
    return AdifImport::Import(store, in, options);
}

QByteArray Records(int count, int firstMinute = 0)
{
    QByteArray file = "generated\n<EOH>\n";
    for (int i = 0; i < count; ++i)
        file += QStringLiteral("<CALL:6>K%1<QSO_DATE:8>20240307<TIME_ON:4>%2%3<EOR>\n")
                    .arg(i % 10000, 5, 10, QLatin1Char('0'))
                    .arg((firstMinute + i / 10000) / 60 % 24, 2, 10, QLatin1Char('0'))
                    .arg((firstMinute + i / 10000) % 60, 2, 10, QLatin1Char('0'))
                    .toLatin1();
    return file;
}

} // namespace

class TestAdifImport : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;
    std::unique_ptr<CCheckinStore> m_store;

    std::unique_ptr<CDatabase> NewLog(const QString& name)
    {
        auto db = std::make_unique<CDatabase>(m_scratch->File(name));
        LogSchema::Prepare(*db);
        return db;
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_db = NewLog(QStringLiteral("Logwarden-97.db"));
        m_store = std::make_unique<CCheckinStore>(*m_db);
    }
    void cleanup()
    {
        m_store.reset();
        m_db.reset();
        m_scratch.reset();
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("ADI") << int(CAdifWriter::Format::Adi);
        QTest::newRow("ADX") << int(CAdifWriter::Format::Adx);
    }
    void roundTrip()
    {
        QFETCH(int, format);
        const QDate day(2024, 3, 10); // the clocks go forward that night
        AddCheckin(*m_db,
                   {"W4ABC", QDateTime(day, QTime(1, 59, 30)), "Jane Doe", "mobile <tonight> & more", true,
                    false, true, "Springfield, Greene County, MO 65801", "1 Elm St", "G", "EM48", "j@x.org"});
        AddCheckin(*m_db, {"K1XYZ", QDateTime(day, QTime(3, 0)), QString::fromUtf8("José Müller 😀"),
                           QString::fromUtf8("Привет"), false, true, false, "Paris", "", "E"});
        AddCheckin(*m_db,
                   {"N0ST", QDateTime(day, QTime(21, 5, 7)), "", "", false, false, false, "", "2 Oak Rd"});
        AddCheckin(*m_db, {"n0lc", QDateTime(QDate(2024, 11, 3), QTime(1, 30)), "Ann", "line one\r\nline two",
                           true, true, true, "Macon, GA 31201-1234"});
        const QByteArray file = Export(*m_db, CAdifWriter::Format(format));

        auto copy = NewLog(QStringLiteral("copy.db"));
        CCheckinStore store(*copy);
        const AdifImport::CResult result = Import(store, file);
        QCOMPARE(result.added, 4);
        QCOMPARE(result.already + result.skipped, 0);
        const std::vector<CCheckinRecord> before = All(*m_db);
        const std::vector<CCheckinRecord> after = All(*copy);
        QCOMPARE(after.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            const CCheckinRecord &a = before[i], &b = after[i];
            QCOMPARE(b.callSign, a.callSign.toUpper()); // a call typed in lower case goes out as F5 logs it
            QCOMPARE(b.name, a.name);
            QCOMPARE(b.street, a.street);
            QCOMPARE(b.location, a.location);
            QCOMPARE(b.comment, a.comment);
            QCOMPARE(b.date, a.date);
            QCOMPARE(b.acknowledged, a.acknowledged);
            QCOMPARE(b.hasTraffic, a.hasTraffic);
            QCOMPARE(b.hasComments, a.hasComments);
            QCOMPARE(b.cls, a.cls);
            QCOMPARE(b.yourGrid, a.yourGrid);
            QCOMPARE(b.email, a.email);
        }
        // And the same file again adds nothing.
        const AdifImport::CResult again = Import(store, file);
        QCOMPARE(again.added, 0);
        QCOMPARE(again.already, 4);
        QCOMPARE(All(*copy).size(), size_t(4));
    }

    // The export reads the table straight; it must write what the record mapping makes of each check-in.
    void exportMatchesTheRecordMapping_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("ADI") << int(CAdifWriter::Format::Adi);
        QTest::newRow("ADX") << int(CAdifWriter::Format::Adx);
    }
    void exportMatchesTheRecordMapping()
    {
        QFETCH(int, format);
        const QDate day(2024, 11, 3);
        AddCheckin(*m_db, {" w4abc ", QDateTime(day, QTime(1, 30)), QString::fromUtf8("Zoë 😀"),
                           "a\r\nb <c> & d", true, false, true, " Macon, Bibb County, GA 31201 ", "1 Elm St",
                           "G", " em73 ", " j@x.org"});
        AddCheckin(*m_db, {QString::fromUtf8("\u00a0K1AB\u00a0"), QDateTime(day, QTime(23, 0)), "", "", false,
                           true, false, "   ", "", "", QString::fromUtf8("\u2003EM74")});
        AddCheckin(*m_db, {"N0ST", QDateTime(), "Ann", "", false, false, false, "Paris", "2 Oak Rd"});
        AddCheckin(*m_db, {"N0LC", QDateTime(QDate(2024, 3, 10), QTime(2, 30)), "", "", false, false, false,
                           QString::fromUtf8("Zürich")});
        AdifCheckin::CStation station;
        station.stationCall = QStringLiteral("W4NET");
        station.frequency = QStringLiteral("146.61");
        station.mode = QStringLiteral("FM");
        station.myGrid = QString::fromUtf8("EM73");
        QBuffer exported;
        exported.open(QIODevice::WriteOnly);
        AdifExport::COptions options;
        options.format = CAdifWriter::Format(format);
        options.zone = kZone;
        options.station = station;
        QCOMPARE(AdifExport::Write(*m_db, {}, exported, options).written, 4);

        QBuffer mapped;
        mapped.open(QIODevice::WriteOnly);
        CAdifWriter writer(mapped, CAdifWriter::Format(format));
        writer.WriteHeader(QStringLiteral("x"), CAdifRecord());
        for (const CCheckinRecord& r : All(*m_db))
            writer.WriteRecord(AdifCheckin::ToAdif(r, station, kZone));
        writer.Finish();
        const auto records = [](const QByteArray& bytes) {
            const qsizetype start =
                bytes.indexOf("<EOH>") >= 0 ? bytes.indexOf("<EOH>") : bytes.indexOf("<RECORDS>");
            return bytes.mid(start + 5);
        };
        QCOMPARE(records(exported.data()), records(mapped.data()));
    }

    void exportScope_data()
    {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("one day") << QDate(2024, 3, 7) << QDate(2024, 3, 7) << QStringList{"A1A", "A1B"};
        QTest::newRow("range, both days whole")
            << QDate(2024, 3, 7) << QDate(2024, 3, 8) << QStringList{"A1A", "A1B", "A1C"};
        QTest::newRow("empty day") << QDate(2024, 3, 9) << QDate(2024, 3, 9) << QStringList{};
    }
    void exportScope()
    {
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(QStringList, calls);
        AddCheckin(*m_db, {"A1Z", QDateTime(QDate(2024, 3, 6), QTime(23, 59, 59))});
        AddCheckin(*m_db, {"A1A", QDateTime(QDate(2024, 3, 7), QTime(0, 0))});
        AddCheckin(*m_db, {"A1B", QDateTime(QDate(2024, 3, 7), QTime(23, 59, 59))});
        AddCheckin(*m_db, {"A1C", QDateTime(QDate(2024, 3, 8), QTime(23, 59, 59))});
        const QByteArray file = Export(*m_db, CAdifWriter::Format::Adi, LogFilter::Days(first, last));
        QStringList found;
        for (const QByteArray& line : file.split('\n'))
            if (line.startsWith("<CALL:3>"))
                found << QString::fromLatin1(line.mid(8, 3));
        QCOMPARE(found, calls);
    }

    // Single-line fields carry no line break nor tab (other readers reject them or join the words); a
    // comment of several lines goes whole into NOTES and comes back whole.
    void commentsOfSeveralLines_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("a line feed")
            << QStringLiteral("Relay traffic\nfor Hartford")
            << QByteArray("<COMMENT:26>Relay traffic for Hartford <NOTES:26>Relay traffic\nfor");
        QTest::newRow("a line break") << QStringLiteral("first\r\nsecond")
                                      << QByteArray("<COMMENT:12>first second <NOTES:13>first\r\nsecond");
        QTest::newRow("a tab") << QStringLiteral("a\tb") << QByteArray("<COMMENT:3>a b <NOTES:3>a\tb");
        QTest::newRow("one line") << QStringLiteral("mobile") << QByteArray("<COMMENT:6>mobile <QSO_DATE");
    }
    void commentsOfSeveralLines()
    {
        QFETCH(QString, comment);
        QFETCH(QByteArray, written);
        AddCheckin(*m_db, {"W1AW", QDateTime(QDate(2024, 3, 7), QTime(19, 0)), "Hiram", comment});
        const QByteArray file = Export(*m_db, CAdifWriter::Format::Adi);
        QVERIFY2(file.contains(written), file.constData());
        auto copy = NewLog(QStringLiteral("copy.db"));
        CCheckinStore store(*copy);
        QCOMPARE(Import(store, file).added, 1);
        QCOMPARE(All(*copy).front().comment, comment);
    }

    // What other programs hand us: only whole records of an ADIF file go in; a file that is none says so.
    void filesOfOtherPrograms_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("error");
        const QByteArray one = "<CALL:4>W1AW<QSO_DATE:8>20240307<TIME_ON:4>1900<EOR>\n";
        const QString none = QStringLiteral("not an ADIF file");
        QTest::newRow("a CSV") << QByteArray("CALL,NAME\nW1AW,Hiram\n") << 0 << 0 << none;
        QTest::newRow("an empty file") << QByteArray() << 0 << 0 << none;
        QTest::newRow("a header and nothing else") << QByteArray("x<EOH>\n") << 0 << 0 << QString();
        QTest::newRow("ADX after a comment")
            << QByteArray("<!-- exported -->\n<ADX><RECORDS><RECORD><CALL>W1AW</CALL><QSO_DATE>20240307"
                          "</QSO_DATE><TIME_ON>1900</TIME_ON></RECORD></RECORDS></ADX>")
            << 1 << 0 << QString();
        QTest::newRow("cut inside a value")
            << one + "<CALL:4>K1AB<QSO_DATE:8>20240307<TIME_ON:4>1901<NAME:14>Annemarie Sch" << 1 << 1
            << QString();
        QTest::newRow("cut inside the call")
            << one + "<QSO_DATE:8>20240307<TIME_ON:4>1901<NAME:5>Alice<CALL:6>W1AB" << 1 << 1 << QString();
        QTest::newRow("a second contact 50 s later on another band")
            << QByteArray("<CALL:4>K1AB<QSO_DATE:8>20240307<TIME_ON:6>190000<BAND:3>40m<MODE:3>SSB<EOR>"
                          "<CALL:4>K1AB<QSO_DATE:8>20240307<TIME_ON:6>190050<BAND:3>20m<MODE:3>SSB<EOR>")
            << 2 << 0 << QString();
        QTest::newRow("the same contact twice")
            << QByteArray("<CALL:4>K1AB<QSO_DATE:8>20240307<TIME_ON:6>190000<BAND:3>40m<MODE:3>SSB<EOR>"
                          "<CALL:4>K1AB<QSO_DATE:8>20240307<TIME_ON:6>190050<BAND:3>40m<MODE:3>SSB<EOR>")
            << 1 << 0 << QString();
        QTest::newRow("lower-case call")
            << QByteArray("<CALL:5>w5typ<QSO_DATE:8>20240307<TIME_ON:4>1900<EOR>") << 1 << 0 << QString();
    }
    void filesOfOtherPrograms()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, added);
        QFETCH(int, skipped);
        QFETCH(QString, error);
        try {
            const AdifImport::CResult r = Import(*m_store, file);
            QVERIFY2(error.isEmpty(), "a file that is no ADIF file was taken");
            QCOMPARE(r.added, added);
            QCOMPARE(r.skipped, skipped);
        } catch (const CLogwardenException& e) {
            QVERIFY2(!error.isEmpty() && e.Message().contains(error), qPrintable(e.Message()));
        }
        for (const CCheckinRecord& r : All(*m_db))
            QCOMPARE(r.callSign, r.callSign.toUpper());
        QCOMPARE(int(All(*m_db).size()), added);
    }

    void duplicates_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("added");
        // The log holds W4ABC at 19:00:00 local on 7 March 2024, 00:00:00 UTC on the 8th.
        QTest::newRow("same time") << QByteArray("<CALL:5>W4ABC<QSO_DATE:8>20240308<TIME_ON:4>0000") << false;
        QTest::newRow("two minutes later")
            << QByteArray("<CALL:5>W4ABC<QSO_DATE:8>20240308<TIME_ON:6>000200") << false;
        QTest::newRow("two minutes earlier")
            << QByteArray("<CALL:5>W4ABC<QSO_DATE:8>20240307<TIME_ON:6>235800") << false;
        QTest::newRow("lower case") << QByteArray("<CALL:5>w4abc<QSO_DATE:8>20240308<TIME_ON:4>0001")
                                    << false;
        QTest::newRow("three minutes later")
            << QByteArray("<CALL:5>W4ABC<QSO_DATE:8>20240308<TIME_ON:6>000201") << true;
        QTest::newRow("another station")
            << QByteArray("<CALL:5>W4ABD<QSO_DATE:8>20240308<TIME_ON:4>0000") << true;
        QTest::newRow("same day, next week")
            << QByteArray("<CALL:5>W4ABC<QSO_DATE:8>20240315<TIME_ON:4>0000") << true;
    }
    void duplicates()
    {
        QFETCH(QByteArray, record);
        QFETCH(bool, added);
        AddCheckin(*m_db, {"W4ABC", QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
        // The record twice: the second copy repeats the first when that was taken, and is in the log
        // already when that was.
        const AdifImport::CResult r = Import(*m_store, record + "<EOR>" + record + "<EOR>");
        QCOMPARE(r.added, added ? 1 : 0);
        QCOMPARE(r.already, added ? 0 : 2);
        QCOMPARE(r.repeated, added ? 1 : 0);
        // A dry run counts the same and writes nothing.
        cleanup();
        init();
        AddCheckin(*m_db, {"W4ABC", QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
        AdifImport::COptions dry;
        dry.dryRun = true;
        const AdifImport::CResult d = Import(*m_store, record + "<EOR>" + record + "<EOR>", dry);
        QCOMPARE(d.added, r.added);
        QCOMPARE(d.already, r.already);
        QCOMPARE(d.repeated, r.repeated);
        QCOMPARE(All(*m_db).size(), size_t(1));
    }

    void skippedRecordsAreCountedAndNamed()
    {
        const QByteArray file = "<CALL:4>W1AW<QSO_DATE:8>20240307<EOR>"
                                "<NAME:3>Bob<QSO_DATE:8>20240307<EOR>"
                                "<CALL:4>K1AB<QSO_DATE:8>20241307<EOR>"
                                "<CALL:4>K1AC<QSO_DATE:8>20240307<TIME_ON:2>19<EOR>";
        QStringList told;
        AdifImport::COptions options;
        options.skipped = [&told](long number, const QString& call, const QString& reason) {
            told << QStringLiteral("%1 %2: %3").arg(number).arg(call, reason);
        };
        const AdifImport::CResult r = Import(*m_store, file, options);
        QCOMPARE(AdifImport::Summary(r), QStringLiteral("1 added, 0 already in the log, 3 skipped"));
        QCOMPARE(told, (QStringList{"2 : no CALL", "3 K1AB: QSO_DATE \"20241307\" is not a date",
                                    "4 K1AC: TIME_ON \"19\" is not a time"}));
    }

    // Stopped half-way, by the operator or by a broken file: the log is exactly as before, and no view is
    // told of check-ins that are not there.
    void stoppedImportLeavesTheLog_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled after the first thousand") << Records(2500) << true;
        QByteArray cut = "<?xml version=\"1.0\"?><ADX><RECORDS>";
        for (int i = 0; i < 2500; ++i)
            cut += QStringLiteral("<RECORD><CALL>K%1</CALL><QSO_DATE>20240307</QSO_DATE></RECORD>")
                       .arg(i)
                       .toLatin1();
        cut += "<RECORD><CALL>K";
        QTest::newRow("ADX that breaks off") << cut << false;
    }
    void stoppedImportLeavesTheLog()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, cancel);
        AddCheckin(*m_db, {"W4ABC", QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
        QSignalSpy imported(m_store.get(), &CCheckinStore::checkinsImported);
        CProgress progress([&](qint64 done, qint64, const QString&) {
            if (cancel && done > 0)
                progress.Cancel();
        });
        AdifImport::COptions options;
        options.progress = &progress;
        if (cancel) {
            const AdifImport::CResult r = Import(*m_store, file, options);
            QVERIFY(r.cancelled);
            QCOMPARE(r.added, 0);
        } else {
            QVERIFY_THROWS_EXCEPTION(CFileException, Import(*m_store, file, options));
        }
        QCOMPARE(All(*m_db).size(), size_t(1));
        QCOMPARE(imported.count(), 0);
        // The log takes check-ins as before.
        CCheckinRecord later;
        later.callSign = QStringLiteral("K9NEW");
        later.date = CDateTime(QDate(2024, 3, 8), QTime(1, 0));
        m_store->Add(later);
        QCOMPARE(All(*m_db).size(), size_t(2));
    }

    void largeImportIsOneAnnouncement()
    {
        QSignalSpy imported(m_store.get(), &CCheckinStore::checkinsImported);
        QSignalSpy added(m_store.get(), &CCheckinStore::checkinAdded);
        const AdifImport::CResult r = Import(*m_store, Records(3500));
        QCOMPARE(r.added, 3500);
        QCOMPARE(All(*m_db).size(), size_t(3500));
        QCOMPARE(imported.count(), 1);
        QCOMPARE(added.count(), 0);
    }

    void cancelledExportLeavesTheFile()
    {
        for (int i = 0; i < 2500; ++i)
            AddCheckin(*m_db, {QStringLiteral("K%1").arg(i), QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
        const QString path = m_scratch->File(QStringLiteral("net.adi"));
        WriteFile(path, "the earlier export");
        CProgress progress([&](qint64 done, qint64, const QString&) {
            if (done >= 1000)
                progress.Cancel();
        });
        AdifExport::COptions options;
        options.progress = &progress;
        const AdifExport::CResult r = AdifExport::WriteFile(*m_db, {}, path, options);
        QVERIFY(r.cancelled);
        QCOMPARE(ReadFile(path), QByteArray("the earlier export"));
        QCOMPARE(
            QDir(m_scratch->Path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("net.adi")),
            QStringList{"net.adi"});
    }

    void exportNeverOverTheLog()
    {
        AddCheckin(*m_db, {"W4ABC", QDateTime(QDate(2024, 3, 7), QTime(19, 0))});
        const QByteArray before = ReadFile(m_db->GetPath());
        QVERIFY_THROWS_EXCEPTION(CFileException, AdifExport::WriteFile(*m_db, {}, m_db->GetPath(), {}));
        QCOMPARE(All(*m_db).size(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestAdifImport)
#include "tst_adifimport.moc"
