// The RTF reader of the net preamble: text, character and paragraph formats, escapes, skipped
// destinations, and what it does with files that are not RTF or are broken.
#include "core/Exceptions.h"
#include "core/log/RtfReader.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

using namespace TestSupport;

namespace {

QByteArray Doc(const QByteArray& body)
{
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Helvetica;}}" + body + "}";
}

// The runs of a document as "text[b,i,u,size,#rrggbb]" for compact comparisons.
QStringList Runs(const CRtfDocument& doc)
{
    QStringList out;
    for (const CRtfParagraph& p : doc.paragraphs) {
        for (const CRtfRun& r : p.runs) {
            QString f;
            if (r.bold)
                f += QLatin1Char('b');
            if (r.italic)
                f += QLatin1Char('i');
            if (r.underline)
                f += QLatin1Char('u');
            if (r.halfPoints != 24)
                f += QString::number(r.halfPoints);
            if (r.colour)
                f += QStringLiteral("#%1%2%3")
                         .arg(r.colour->red, 2, 16, QLatin1Char('0'))
                         .arg(r.colour->green, 2, 16, QLatin1Char('0'))
                         .arg(r.colour->blue, 2, 16, QLatin1Char('0'));
            out << (f.isEmpty() ? r.text : r.text + QLatin1Char('[') + f + QLatin1Char(']'));
        }
        out << QStringLiteral("|");
    }
    return out;
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("paragraphs") << Doc("\\pard First\\par Second\\par\n") << "First\nSecond";
        QTest::newRow("empty paragraph kept") << Doc("One\\par\\par Three") << "One\n\nThree";
        QTest::newRow("last paragraph without \\par") << Doc("Only") << "Only";
        QTest::newRow("line ends in the file mean nothing") << Doc("Net\r\ncontrol\\par") << "Netcontrol";
        QTest::newRow("blank after a word is its delimiter")
            << Doc("\\b  two blanks\\b0\\par") << " two blanks";
        QTest::newRow("line break and tab") << Doc("a\\line b\\tab c\\par") << "a\nb\tc";
        QTest::newRow("literal braces and backslash") << Doc("\\{x\\} \\\\ y") << "{x} \\ y";
        QTest::newRow("hex escapes in Windows-1252") << Doc("caf\\'e9 \\'93q\\'94 \\'80") << "café “q” €";
        QTest::newRow("unicode with fallback") << Doc("\\u8212?x") << "—x";
        QTest::newRow("unicode negative") << Doc("\\u-3913?") << QString(QChar(0xF0B7));
        QTest::newRow("uc2 skips two") << Doc("\\uc2\\u945 ab c") << "α c";
        QTest::newRow("uc0 skips none") << Doc("\\uc0\\u945 ab") << "αab";
        QTest::newRow("fallback given as hex") << Doc("\\u233\\'e9 ok") << "é ok";
        QTest::newRow("surrogate pair")
            << Doc("\\uc0\\u-10179\\u-8704 ") << QString::fromUtf8("\xf0\x9f\x98\x80");
        QTest::newRow("typographic words")
            << Doc("\\ldblquote Hi\\rdblquote\\emdash ok\\bullet") << QString::fromUtf8("“Hi”—ok•");
        QTest::newRow("non-breaking space and hyphens")
            << Doc("a\\~b\\-c\\_d") << QString::fromUtf8("a\u00a0bc\u2011d");
        QTest::newRow("font table skipped") << Doc("{\\fonttbl{\\f1 Times;}}Text") << "Text";
        QTest::newRow("style sheet skipped") << Doc("{\\stylesheet{\\s0 Normal;}}Text") << "Text";
        QTest::newRow("info skipped") << Doc("{\\info{\\title Secret}{\\author Me}}Text") << "Text";
        QTest::newRow("picture skipped") << Doc("A{\\pict\\pngblip 89504e47}B") << "AB";
        QTest::newRow("binary data skipped") << Doc("A{\\pict\\bin4 }{}\\z}B") << "AB";
        QTest::newRow("starred destination skipped")
            << Doc("A{\\*\\generator Writer;}{\\*\\unknown x}B") << "AB";
        QTest::newRow("field shows its result")
            << Doc("{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt Link}}") << "Link";
        QTest::newRow("unknown words ignored") << Doc("\\frobnicate12 A\\xyz B") << "AB";
        QTest::newRow("header and footer skipped") << Doc("{\\header Page}{\\footer Foot}Body") << "Body";
        QTest::newRow("missing closing brace") << QByteArray("{\\rtf1 Half\\par done") << "Half\ndone";
        QTest::newRow("text after the document ignored") << QByteArray("{\\rtf1 In}Out") << "In";
        QTest::newRow("byte order mark and blanks first") << QByteArray("\xEF\xBB\xBF  {\\rtf1 X}") << "X";
    }
    void text()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(RtfReader::Parse(rtf).PlainText(), text);
    }

    void formats_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QStringList>("runs");
        QTest::newRow("bold italic underline on and off")
            << Doc("\\b B\\b0 \\i I\\i0 \\ul U\\ulnone  \\ul\\b x\\b0\\ul0 n\\par")
            << QStringList{"B[b]", "I[i]", "U[u]", " ", "x[bu]", "n", "|"};
        QTest::newRow("groups restore") << Doc("{\\b bold {\\i both} bold} plain")
                                        << QStringList{"bold [b]", "both[bi]", " bold[b]", " plain", "|"};
        QTest::newRow("plain resets") << Doc("\\b\\i\\fs40 x\\plain y") << QStringList{"x[bi40]", "y", "|"};
        QTest::newRow("sizes in half points")
            << Doc("\\fs20 small\\fs48 big") << QStringList{"small[20]", "big[48]", "|"};
        QTest::newRow("colour table")
            << Doc("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue160;}\\cf1 red\\cf2 blue\\cf0 "
                   "auto\\cf9 none")
            << QStringList{"red[#ff0000]", "blue[#0000a0]", "autonone", "|"};
        QTest::newRow("colour table without auto entry")
            << Doc("{\\colortbl\\red1\\green2\\blue3;\\red4\\green5\\blue6;}\\cf1 x")
            << QStringList{"x[#040506]", "|"};
        QTest::newRow("b1 and b0 parameters") << Doc("\\b1 x\\b0 y") << QStringList{"x[b]", "y", "|"};
    }
    void formats()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QStringList, runs);
        QCOMPARE(Runs(RtfReader::Parse(rtf)), runs);
    }

    void alignment()
    {
        const CRtfDocument d =
            RtfReader::Parse(Doc("\\pard\\qc Title\\par\\qr right\\par\\pard left\\par\\qj just\\par"));
        QCOMPARE(int(d.paragraphs.size()), 4);
        QCOMPARE(d.paragraphs[0].alignment, CRtfParagraph::Centre);
        QCOMPARE(d.paragraphs[1].alignment, CRtfParagraph::Right);
        QCOMPARE(d.paragraphs[2].alignment, CRtfParagraph::Left);
        QCOMPARE(d.paragraphs[3].alignment, CRtfParagraph::Justify);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("plain text") << QByteArray("Good evening, this is net control.");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("HTML") << QByteArray("<html><body>x</body></html>");
        QTest::newRow("too deep") << QByteArray("{\\rtf1 ") + QByteArray(RtfReader::kMaxDepth + 5, '{');
    }
    void refused()
    {
        QFETCH(QByteArray, data);
        QVERIFY_THROWS_EXCEPTION(CLogwardenException, RtfReader::Parse(data));
    }

    void brokenInputNeverCrashes()
    {
        // Cuts and random bytes in a real document: the reader gives some text or refuses, nothing worse.
        QFile sample(SourceDir() + QStringLiteral("/res/preamble.rtf"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const QByteArray good = sample.readAll();
        QRandomGenerator rng(4711);
        for (int i = 0; i < 400; ++i) {
            QByteArray bad = good.left(rng.bounded(good.size() + 1));
            for (int j = rng.bounded(8); j > 0 && !bad.isEmpty(); --j)
                bad[rng.bounded(int(bad.size()))] = char(rng.bounded(256));
            if (i % 3 == 0)
                bad +=
                    QByteArray("\\u") + QByteArray::number(rng.bounded(-70000, 70000)) + "\\'" + "\\bin99999";
            try {
                RtfReader::Parse(bad);
            } catch (const CLogwardenException&) {
            }
        }
    }

    void files()
    {
        CScratch scratch;
        try {
            RtfReader::ReadFile(scratch.File(QStringLiteral("preamble.rtf")));
            QFAIL("no error for a missing file");
        } catch (const CFileException& e) {
            QVERIFY(e.Message().contains(QLatin1String("does not exist")));
        }
        QFile big(scratch.File(QStringLiteral("big.rtf")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(RtfReader::kMaxFileSize + 1));
        big.close();
        QVERIFY_THROWS_EXCEPTION(CFileException, RtfReader::ReadFile(big.fileName()));

        // The sample preamble the program ships.
        const CRtfDocument sample = RtfReader::ReadFile(SourceDir() + QStringLiteral("/res/preamble.rtf"));
        QVERIFY(sample.PlainText().startsWith(QLatin1String("Two Meter Net Preamble\n")));
        QVERIFY(sample.PlainText().contains(QString::fromUtf8("Say “traffic” if")));
        QCOMPARE(sample.paragraphs.front().alignment, CRtfParagraph::Centre);
        QVERIFY(sample.paragraphs.front().runs.front().bold);
        QVERIFY(!sample.PlainText().contains(QLatin1String("Helvetica")));
    }
};

QTEST_GUILESS_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
