// ADIF read as the files that exist are written, and written strictly: ADI and ADX.
#include "core/adif/AdifReader.h"
#include "core/adif/AdifWriter.h"

#include <QBuffer>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// "CALL=W1AW;NAME=Bob" per record.
QStringList ReadAll(const QByteArray& bytes, QString* error = nullptr, CAdifRecord* header = nullptr)
{
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    CAdifReader reader(in);
    QStringList records;
    CAdifRecord r;
    while (reader.Next(r)) {
        QStringList fields;
        for (const CAdifField& f : r.Fields())
            fields << QString::fromLatin1(f.name) + QLatin1Char('=') + f.value;
        records << fields.join(QLatin1Char(';'));
    }
    if (error)
        *error = reader.Error();
    if (header)
        *header = reader.Header();
    return records;
}

QByteArray Write(CAdifWriter::Format format, const QList<CAdifRecord>& records)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    CAdifWriter writer(out, format);
    CAdifRecord header;
    header.Add("ADIF_VER", QStringLiteral("3.1.4"));
    writer.WriteHeader(QStringLiteral("<not a tag> test"), header);
    for (const CAdifRecord& r : records)
        writer.WriteRecord(r);
    writer.Finish();
    return out.data();
}

} // namespace

class TestAdifFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheFilesThatExist_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("records");
        const QString jose = QString::fromUtf8("NAME=José;QTH=Paris");
        QTest::newRow("tags in any case") << QByteArray("<call:4>W1AW<Qso_Date:8>20240101<eor>")
                                          << QStringList{"CALL=W1AW;QSO_DATE=20240101"};
        QTest::newRow("no header") << QByteArray("<CALL:4>W1AW <EOR>\n<CALL:4>K1AB <EOR>\n")
                                   << QStringList{"CALL=W1AW", "CALL=K1AB"};
        QTest::newRow("header text")
            << QByteArray("Made by hand <sort of>\n<ADIF_VER:5>3.1.4 <eoh>\n<CALL:4>W1AW<EOR>")
            << QStringList{"CALL=W1AW"};
        QTest::newRow("header that begins with a tag")
            << QByteArray("<ADIF_VER:5>3.1.0<EOH><CALL:4>W1AW<EOR>") << QStringList{"CALL=W1AW"};
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBF<CALL:4>W1AW<EOR>") << QStringList{"CALL=W1AW"};
        QTest::newRow("CR LF") << QByteArray("hdr\r\n<EOH>\r\n<CALL:4>W1AW\r\n<NAME:3>Bob\r\n<EOR>\r\n")
                               << QStringList{"CALL=W1AW;NAME=Bob"};
        QTest::newRow("length in characters")
            << QByteArray("<NAME:4>José <QTH:5>Paris<EOR>") << QStringList{jose};
        QTest::newRow("length in bytes") << QByteArray("<NAME:5>José <QTH:5>Paris<EOR>") << QStringList{jose};
        QTest::newRow("characters, no blank")
            << QByteArray("<NAME:4>José<QTH:5>Paris<EOR>") << QStringList{jose};
        QTest::newRow("bytes, no blank") << QByteArray("<NAME:5>José<QTH:5>Paris<EOR>") << QStringList{jose};
        // "é< " in characters, or "é<" in bytes: the file's other fields and its header tell.
        QTest::newRow("both counts fit, bytes by default")
            << QByteArray("<COMMENT:3>é< <EOR>") << QStringList{QString::fromUtf8("COMMENT=é<")};
        QTest::newRow("both counts fit, characters as the field before")
            << QByteArray("<NAME:4>José<COMMENT:3>é< <EOR>")
            << QStringList{QString::fromUtf8("NAME=José;COMMENT=é< ")};
        QTest::newRow("both counts fit, characters in our own files")
            << QByteArray("x\n<PROGRAMID:9>Logwarden<EOH><COMMENT:3>é< <EOR>")
            << QStringList{QString::fromUtf8("COMMENT=é< ")};
        QTest::newRow("beyond the BMP in characters")
            << QByteArray("<NAME:3>A\xF0\x9F\x98\x80z<EOR>") << QStringList{QString::fromUtf8("NAME=A😀z")};
        QTest::newRow("Latin-1") << QByteArray("<NAME:4>Jos\xE9 <QTH:5>Paris<EOR>") << QStringList{jose};
        QTest::newRow("Windows-1252") << QByteArray("<NAME:12>Se\xE1n O\x92"
                                                    "Brien<COMMENT:6>\x80"
                                                    "9 \x9C"
                                                    "uf<EOR>")
                                      << QStringList{QString::fromUtf8("NAME=Seán O’Brien;COMMENT=€9 œuf")};
        QTest::newRow("type indicator")
            << QByteArray("<CALL:4:S>W1AW<FREQ:6:N>146.61<EOR>") << QStringList{"CALL=W1AW;FREQ=146.61"};
        QTest::newRow("multi-line value")
            << QByteArray("<ADDRESS:9>1 A St\r\nX<EOR>") << QStringList{"ADDRESS=1 A St\r\nX"};
        QTest::newRow("value holding a tag")
            << QByteArray("<COMMENT:9>a<EOR>b&c <EOR>") << QStringList{"COMMENT=a<EOR>b&c"};
        QTest::newRow("last record without EOR")
            << QByteArray("<CALL:4>W1AW<EOR><CALL:4>K1AB") << QStringList{"CALL=W1AW", "CALL=K1AB"};
        QTest::newRow("text and odd tags between fields")
            << QByteArray("<CALL:4>W1AW junk <bogus> <x:> <y:z> <:3>abc <NAME:3>Bob<EOR>")
            << QStringList{"CALL=W1AW;NAME=Bob"};
        QTest::newRow("length past the end") << QByteArray("<CALL:10>W1AW") << QStringList{"CALL=W1AW"};
        QTest::newRow("empty records")
            << QByteArray("<EOR> <EOR><CALL:4>W1AW<EOR><CALL:0><EOR>") << QStringList{"CALL=W1AW"};
        QTest::newRow("absurd length")
            << QByteArray("<NOTES:99999999999>x<CALL:4>W1AW<EOR>") << QStringList{"CALL=W1AW"};
        QTest::newRow("ADX")
            << QByteArray("<?xml version=\"1.0\"?>\n<adx><header><adif_ver>3.1.4</adif_ver></header>"
                          "<records><record><call>W1AW</call><name_intl>Jos\xC3\xA9</name_intl>"
                          "<app programid=\"Logwarden\" fieldname=\"ack\" type=\"B\">Y</app>"
                          "<userdef fieldname=\"mine\">1</userdef>"
                          "<address>a&#xD;\nb &amp; c</address></record>"
                          "<RECORD><CALL>K1AB</CALL></RECORD></records></adx>\n")
            << QStringList{QString::fromUtf8("CALL=W1AW;NAME_INTL=José;APP_LOGWARDEN_ACK=Y;MINE=1;"
                                             "ADDRESS=a\r\nb & c"),
                           "CALL=K1AB"};
        QTest::newRow("ADX, empty records")
            << QByteArray("<ADX><RECORDS><RECORD/><RECORD><CALL></CALL></RECORD>"
                          "<RECORD><CALL>W1AW</CALL></RECORD></RECORDS></ADX>")
            << QStringList{"CALL=W1AW"};
        QTest::newRow("ADX with a byte-order mark, no declaration")
            << QByteArray("\xEF\xBB\xBF  <ADX><RECORDS><RECORD><CALL>W1AW</CALL></RECORD></RECORDS></ADX>")
            << QStringList{"CALL=W1AW"};
    }
    void readsTheFilesThatExist()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, records);
        QString error;
        QCOMPARE(ReadAll(file, &error), records);
        QCOMPARE(error, QString());
    }

    void headerFieldsAreNotARecord()
    {
        CAdifRecord header;
        QCOMPARE(ReadAll("x\n<PROGRAMID:3>abc<EOH><CALL:4>W1AW<EOR>", nullptr, &header),
                 QStringList{"CALL=W1AW"});
        QCOMPARE(header.Value("PROGRAMID"), QStringLiteral("abc"));
    }

    void brokenFilesAreAnError_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("recordsBefore");
        QTest::addColumn<QString>("error");
        const QByteArray one = "<ADX><RECORDS><RECORD><CALL>W1AW</CALL></RECORD>";
        const QString xml = QStringLiteral("not well-formed");
        QTest::newRow("cut off") << one + "<RECORD><CALL>K1" << 1 << xml;
        QTest::newRow("mismatched tags")
            << one + "<RECORD><CALL>K1AB</NAME></RECORD></RECORDS></ADX>" << 1 << xml;
        QTest::newRow("bad entity") << QByteArray("<ADX><RECORDS><RECORD><CALL>&bogus;</CALL></RECORD>") << 0
                                    << xml;
        QTest::newRow("nested 100,000 deep")
            << one + "<RECORD><NAME>" + QByteArray("<a>").repeated(100000) << 1 << QStringLiteral("nested");
        QByteArray endless = "<CALL:4>W1AW<EOR>";
        for (int i = 0; i < 5; ++i)
            endless += "<COMMENT" + QByteArray::number(i) + ":1048576>" + QByteArray(1 << 20, 'x');
        QTest::newRow("a record without <EOR>") << endless << 1 << QStringLiteral("more than 4 MB");
    }
    void brokenFilesAreAnError()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, recordsBefore);
        QFETCH(QString, error);
        QString said;
        QCOMPARE(ReadAll(file, &said).size(), recordsBefore);
        QVERIFY2(said.contains(error), qPrintable(said));
    }

    // Lengths go out in bytes of UTF-8, as the other loggers read them; files that count characters (ours
    // before 1.1, and other writers' where only that count ends at a tag) are read right too.
    void adiLengthsCountBytes_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("ASCII") << QStringLiteral("Bob") << QByteArray("<NAME:3>Bob");
        QTest::newRow("accent") << QString::fromUtf8("José Müller") << QByteArray("<NAME:13>José Müller");
        QTest::newRow("Cyrillic") << QString::fromUtf8("Иван") << QByteArray("<NAME:8>Иван");
        QTest::newRow("beyond the BMP") << QString::fromUtf8("😀a") << QByteArray("<NAME:5>😀a");
        QTest::newRow("line break") << QStringLiteral("a\r\nb") << QByteArray("<NAME:4>a\r\nb");
    }
    void adiLengthsCountBytes()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, written);
        CAdifRecord r;
        r.Add("NAME", value);
        const QByteArray file = Write(CAdifWriter::Format::Adi, {r});
        QVERIFY(!file.startsWith('<'));
        QVERIFY2(file.contains(written + " <EOR>\n"), file.constData());
        QCOMPARE(ReadAll(file), QStringList{QStringLiteral("NAME=") + value});
    }

    void adiLengthsAsTheWriterCounted_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::newRow("another logger, bytes")
            << QByteArray("x<EOH><NAME:13>José Müller<CALL:4>W1AB<EOR>") << QString::fromUtf8("José Müller");
        QTest::newRow("Logwarden 1.0, characters")
            << QByteArray("<PROGRAMID:9>Logwarden<PROGRAMVERSION:5>1.0.0<EOH><NAME:4>Joé <CALL:4>W1AB<EOR>")
            << QString::fromUtf8("Joé ");
        QTest::newRow("Logwarden 1.1, bytes")
            << QByteArray("<PROGRAMID:9>Logwarden<PROGRAMVERSION:5>1.1.0<EOH><NAME:5>Joé <CALL:4>W1AB<EOR>")
            << QString::fromUtf8("Joé ");
        QTest::newRow("another writer, characters, \"<3\" in the text")
            << QByteArray("x<EOH><NAME:8>Grüße <3<CALL:4>W1AB<EOR>") << QString::fromUtf8("Grüße <3");
        QTest::newRow("a byte count ending inside a character")
            << QByteArray("x<EOH><NAME:7>Дмитрий<CALL:4>W1AB<EOR>") << QString::fromUtf8("Дмитрий");
    }
    void adiLengthsAsTheWriterCounted()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QCOMPARE(ReadAll(file), QStringList{QStringLiteral("NAME=%1;CALL=W1AB").arg(name)});
    }

    void adxIsWellFormed_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("readBack"); // the record's fields after its CALL
        QTest::newRow("markup") << QStringLiteral("a<b>&\"c'") << QByteArray("NAME")
                                << QStringLiteral("NAME=a<b>&\"c'");
        QTest::newRow("line ends") << QStringLiteral("1 A St\r\nX") << QByteArray("ADDRESS")
                                   << QStringLiteral("ADDRESS=1 A St\r\nX");
        QTest::newRow("control characters") << QStringLiteral("a\x01\x1b[31mb\tc") << QByteArray("COMMENT")
                                            << QStringLiteral("COMMENT=a[31mb\tc");
        // Beyond ASCII: the _INTL field, and the plain one in ASCII for readers that know no other.
        QTest::newRow("non-ASCII to _INTL") << QString::fromUtf8("Zoë 😀") << QByteArray("NAME")
                                            << QString::fromUtf8("NAME=Zoe;NAME_INTL=Zoë 😀");
        QTest::newRow("nothing of it ASCII")
            << QString::fromUtf8("Дмитрий") << QByteArray("NAME") << QString::fromUtf8("NAME_INTL=Дмитрий");
        QTest::newRow("lone surrogate")
            << QString(QChar(0xD800)) + QStringLiteral("x") << QByteArray("COMMENT")
            << QStringLiteral("COMMENT=x;COMMENT_INTL=x");
        QTest::newRow("application field") << QStringLiteral("Y") << QByteArray("APP_LOGWARDEN_ACK")
                                           << QStringLiteral("APP_LOGWARDEN_ACK=Y");
    }
    void adxIsWellFormed()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, field);
        QFETCH(QString, readBack);
        CAdifRecord r;
        r.Add("CALL", QStringLiteral("W1AW"));
        r.Add(field, value);
        const QByteArray file = Write(CAdifWriter::Format::Adx, {r, r});
        QXmlStreamReader xml(file);
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        const QString expected = QStringLiteral("CALL=W1AW;") + readBack;
        QCOMPARE(ReadAll(file), (QStringList{expected, expected}));
    }

    void emptyExportIsAFile_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("ADI") << int(CAdifWriter::Format::Adi);
        QTest::newRow("ADX") << int(CAdifWriter::Format::Adx);
    }
    void emptyExportIsAFile()
    {
        QFETCH(int, format);
        const QByteArray file = Write(CAdifWriter::Format(format), {});
        QString error;
        QCOMPARE(ReadAll(file, &error), QStringList());
        QCOMPARE(error, QString());
    }
};

QTEST_GUILESS_MAIN(TestAdifFormat)
#include "tst_adifformat.moc"
