#include "core/app/Clock.h"
#include "core/mail/AppOctetStream.h"
#include "core/mail/Base64.h"
#include "core/mail/MIMEMessage.h"
#include "core/mail/MIMETypeManager.h"
#include "core/mail/MailText.h"
#include "core/mail/TextPlain.h"
#include "support/TestSupport.h"

#include <QtTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kBoundary = "--QV_MAIL_PaRt_BoUnDaRy_05151998"_ba;

QByteArray Decode64(const QByteArray& text)
{
    QByteArray out;
    return CBase64().Decode(text.constData(), text.size(), out) ? out : "<invalid>"_ba;
}

// The text of the RFC 2047 encoded words in a header field, joined.
QString DecodeWords(QByteArray field)
{
    field.replace("\r\n ", "");
    QString text;
    for (qsizetype pos = 0; (pos = field.indexOf("=?UTF-8?B?", pos)) >= 0;) {
        const qsizetype end = field.indexOf("?=", pos + 10);
        text += QString::fromUtf8(Decode64(field.mid(pos + 10, end - pos - 10)));
        pos = end + 2;
    }
    return text;
}

// A message with a fixed date (2024-03-07 21:05:09, five hours behind UTC) and Message-ID.
struct CFixedMessage : CMIMEMessage
{
    CFixedClock clock{QDateTime(QDate(2024, 3, 7), QTime(21, 5, 9), Qt::OffsetFromUTC, -5 * 3600)};
    static const CMIMETypeManager& Types()
    {
        static const CMIMETypeManager types;
        return types;
    }
    CFixedMessage() : CMIMEMessage(Types())
    {
        SetClock(&clock);
        SetMessageId(u"1@example.org"_s);
        SetFrom(uR"("N0CALL Net" <n0call@example.org>)"_s);
    }
};

} // namespace

class TestMime : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void base64_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("text");
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += static_cast<char>(i);
        QTest::newRow("one byte") << "a"_ba
                                  << "YQ=="_ba;
        QTest::newRow("two bytes") << "ab"_ba
                                   << "YWI="_ba;
        QTest::newRow("abc") << "abc"_ba
                             << "YWJj"_ba;
        QTest::newRow("every byte") << all << all.toBase64();
    }
    void base64()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, text);
        QCOMPARE(CBase64::Encode(data), text);
        QCOMPARE(Decode64(text), data);
    }

    void recipients_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("parsed"); // address|name
        QTest::newRow("display form") << uR"x("W4ABC (Bob)" <bob@example.org>)x"_s << true
                                      << QStringList{uR"x(bob@example.org|"W4ABC (Bob)" )x"_s};
        QTest::newRow("two") << u"a@example.org;b@example.org"_s << true
                             << QStringList{u"a@example.org|"_s, u"b@example.org|"_s};
        QTest::newRow("empty text") << QString() << true << QStringList{u"|"_s};
        QTest::newRow("trailing ;") << u"a@example.org;"_s << true
                                    << QStringList{u"a@example.org|"_s, u"|"_s};
        QTest::newRow("no >") << u"Bob <bob@example.org"_s << false << QStringList{};
        QTest::newRow("stops at a bad piece") << u"a@example.org;Bob >x< <bob@example.org>;c@example.org"_s
                                              << false << QStringList{u"a@example.org|"_s};
    }
    void recipients()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QStringList, parsed);
        CMailMessage m;
        QCOMPARE(m.AddMultipleRecipients(text), ok);
        QStringList got;
        QString address, name;
        for (int i = 0; m.GetRecipient(i, address, name); ++i)
            got << address + u'|' + name;
        QCOMPARE(got, parsed);
    }

    void header()
    {
        // Two recipients share one To line; the names as the parser left them; the date in English
        // whatever the user's language; the envelope takes the sender's address alone.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        CFixedMessage m;
        QVERIFY(m.AddMultipleRecipients(uR"x("W4ABC (Bob)" <bob@example.org>;k1xyz@example.org)x"_s));
        m.SetSubject(u"Check-in at 9:00 PM"_s);
        QVERIFY(m.FormatMessage());
        QLocale::setDefault(QLocale::c());
        QCOMPARE(m.GetHeader(),
                 "From: \"N0CALL Net\" <n0call@example.org>\r\n"
                 "To: \"W4ABC (Bob)\" <bob@example.org>,<k1xyz@example.org>\r\n"
                 "Date: Thu, 07 Mar 2024 21:05:09 -0500\r\n"
                 "Subject: Check-in at 9:00 PM\r\n"
                 "X-Mailer: QV Mail\r\n"
                 "Message-ID: <1@example.org>\r\n"
                 "MIME-Version: 1.0\r\n"
                 "Content-Type: multipart/mixed; boundary=QV_MAIL_PaRt_BoUnDaRy_05151998\r\n\r\n"_ba);
        QCOMPARE(m.GetEnvelopeSender(), u"n0call@example.org"_s);

        CMailMessage plain;
        plain.SetFrom(u"n0call@example.org"_s);
        QVERIFY(plain.FormatMessage());
        QVERIFY(QRegularExpression(u"\r\nMessage-ID: <\\d{14}\\.[0-9a-f]{16}@example\\.org>\r\n\r\n$"_s)
                    .match(QString::fromLatin1(plain.GetHeader()))
                    .hasMatch());
    }

    void longHeaders()
    {
        // Folded at blanks within 78 characters; unfolding gives the text back.
        CMailMessage m;
        m.SetFrom(u"n0call@example.org"_s);
        QString subject;
        for (int i = 0; i < 40; ++i) {
            subject += u"word%1 "_s.arg(i);
            m.AddRecipient(u"station%1@example.org"_s.arg(i), u"Op %1"_s.arg(i));
        }
        m.SetSubject(subject);
        QVERIFY(m.FormatMessage());
        QByteArray header = m.GetHeader();
        for (const QByteArray& line : header.split('\n'))
            QVERIFY2(line.size() <= 79, line.constData());
        header.replace("\r\n ", " ");
        QVERIFY(header.contains("\r\nSubject: " + subject.toLatin1() + "\r\n"));
        QCOMPARE(header.count("@example.org>,"), 39);
    }

    void wrap_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wrapped");
        QString tens; // spaces at 9, 19, ... 99
        for (int i = 0; i < 10; ++i)
            tens += u"aaaaaaaaa "_s;
        const QString x75(75, u'x');
        QTest::newRow("broken at the last space before the 78th character")
            << tens << tens.left(69) + u"\r\n"_s + tens.mid(70);
        QTest::newRow("77 characters stay") << x75 + u" y"_s << x75 + u" y"_s;
        QTest::newRow("78 break") << x75 + u"x y"_s << x75 + u"x\r\ny"_s;
        QTest::newRow("no space in the first 77: a leading line end")
            << QString(100, u'x') << u"\r\n"_s + QString(100, u'x');
        QTest::newRow("blanks at the break go") << x75 + u"   yy"_s << x75 + u"\r\nyy"_s;
    }
    void wrap()
    {
        QFETCH(QString, text);
        QFETCH(QString, wrapped);
        QCOMPARE(CTextPlain::Wrap(text, 76), wrapped);
    }

    void layout()
    {
        // Text and one attachment, every line.
        CScratch scratch;
        WriteFile(scratch.File(u"abc.txt"_s), "abc");
        CFixedMessage m;
        m.AddRecipient(u"bob@example.org"_s, u"W4ABC (Bob)"_s);
        m.SetBody(u"Hello Bob,\nsee you tonight.\n"_s);
        m.AddMIMEPart(scratch.File(u"abc.txt"_s));
        QVERIFY(m.FormatMessage());
        QVERIFY(m.GetHeader().contains("\r\nTo: \"W4ABC (Bob)\" <bob@example.org>\r\n"));
        const QByteArray body = "This is a multi-part message in MIME format.\r\n\r\n" + kBoundary +
                                "\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: 7Bit\r\n\r\n"
                                "Hello Bob,\r\nsee you tonight.\r\n" +
                                kBoundary +
                                "\r\nContent-Type: application/octet-stream; file=abc.txt\r\n"
                                "Content-Transfer-Encoding: base64\r\n"
                                "Content-Disposition: attachment; filename=abc.txt\r\n\r\n"
                                "YWJj\r\n\r\n" +
                                kBoundary + "--\r\n";
        QCOMPARE(m.GetFormattedBody(), body);
        QVERIFY(m.FormatMessage()); // again: still one text part
        QCOMPARE(m.GetFormattedBody(), body);
    }

    void attachmentLines_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("lineLengths");
        QTest::newRow("empty") << 0 << QList<int>{0, 0};
        QTest::newRow("54 bytes: an empty line from the empty last chunk") << 54 << QList<int>{72, 0, 0};
        QList<int> many(5000, 72);
        QTest::newRow("54 x 5000 across read blocks") << 54 * 5000 << (many << 0 << 0);
    }
    void attachmentLines()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, lineLengths);
        CScratch scratch;
        QByteArray data(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>(i * 7);
        WriteFile(scratch.File(u"f.bin"_s), data);
        QString error;
        const auto encoded = CAppOctetStream::Encode(scratch.File(u"f.bin"_s), error);
        QVERIFY2(encoded, qPrintable(error));
        const QByteArray text = encoded->text.mid(encoded->text.indexOf("\r\n\r\n") + 4).chopped(2);
        QList<int> lengths;
        for (const QByteArray& line : text.split('\n'))
            lengths << static_cast<int>(line.size()) - (line.endsWith('\r') ? 1 : 0);
        QCOMPARE(lengths, lineLengths);
        QCOMPARE(Decode64(text), data);
    }

    void unreadableAttachment()
    {
        // Two boundaries in a row, and the failure is reported.
        CFixedMessage m;
        m.SetBody(u"Hi"_s);
        m.AddMIMEPart(u"/nonexistent/agenda.pdf"_s);
        QVERIFY(!m.FormatMessage());
        QVERIFY(m.GetFormatError().contains(u"/nonexistent/agenda.pdf"_s));
        QVERIFY(m.GetFormattedBody().endsWith("Hi\r\n" + kBoundary + "\r\n" + kBoundary + "--\r\n"));
    }

    void eightBit()
    {
        // Encoded words in the header (lines within 76), quoted-printable UTF-8 text.
        const CMIMETypeManager types;
        CMIMEMessage m(types);
        m.SetFrom(u"\"Jörg Müller\" <dl1abc@bücher.example>"_s);
        m.AddRecipient(u"bob@example.org"_s, u"W4ABC (José)"_s);
        const QString subject =
            u"Einladung: Prüfungsnetz heute um 21 Uhr — bitte weitersagen, Grüße an alle ✓"_s;
        m.SetSubject(subject);
        m.SetBody(u"Grüße = 73\n"_s);
        QVERIFY(m.FormatMessage());
        const QByteArray header = m.GetHeader();
        const QList<QByteArray> lines = header.split('\n');
        for (const QByteArray& line : lines)
            QVERIFY2(line.size() <= 77 && MailText::IsAscii(QString::fromLatin1(line)), line.constData());
        QCOMPARE(lines[0], "From: =?UTF-8?B?SsO2cmcgTcO8bGxlcg==?= <dl1abc@xn--bcher-kva.example>\r"_ba);
        QCOMPARE(lines[1], "To: =?UTF-8?B?VzRBQkMgKEpvc8OpKQ==?= <bob@example.org>\r"_ba);
        const qsizetype subjectAt = header.indexOf("Subject: ");
        QCOMPARE(DecodeWords(header.mid(subjectAt, header.indexOf("\r\nX-Mailer") - subjectAt)), subject);
        QVERIFY(m.GetFormattedBody().contains("Content-Type: text/plain; charset=UTF-8\r\n"
                                              "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                              "Gr=C3=BC=C3=9Fe =3D 73\r\n"));
    }

    void quotedPrintable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("trailing blanks") << "a \r\nb\t"_ba
                                         << "a=20\r\nb=09"_ba;
        QTest::newRow("soft break at 76") << QByteArray(80, 'x') << QByteArray(75, 'x') + "=\r\nxxxxx";
        QTest::newRow("escape not split")
            << QByteArray(74, 'x') + "\xc3\xa9" << QByteArray(74, 'x') + "=\r\n=C3=A9";
    }
    void quotedPrintable()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(MailText::QuotedPrintable(text), encoded);
    }

    void overlongLineGoesQuotedPrintable()
    {
        const CMIMETypeManager types;
        CMIMEMessage m(types);
        m.SetBody(u"See https://example.org/"_s + QString(1200, u'a'));
        m.FormatMessage();
        QVERIFY(m.GetFormattedBody().contains("Content-Transfer-Encoding: quoted-printable"));
        for (const QByteArray& line : m.GetFormattedBody().split('\n'))
            QVERIFY(line.size() <= 77);
    }

    void attachmentNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("parameter"); // empty: refused
        QTest::newRow("token") << u"agenda.pdf"_s << "; filename=agenda.pdf"_ba;
        QTest::newRow("blank") << u"net agenda.pdf"_s << "; filename=\"net agenda.pdf\""_ba;
        QTest::newRow("semicolon") << u"a;b.txt"_s << "; filename=\"a;b.txt\""_ba;
        QTest::newRow("quote, backslash") << u"a\"b\\c"_s << "; filename=\"a\\\"b\\\\c\""_ba;
        QTest::newRow("non-ASCII") << u"Prüfung 1.pdf"_s << "; filename*=UTF-8''Pr%C3%BCfung%201.pdf"_ba;
        QTest::newRow("line break") << u"x.txt\r\nX-Injected: yes"_s << QByteArray();
    }
    void attachmentNames()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, parameter);
        CScratch scratch;
        WriteFile(scratch.File(name), "x");
        QString error;
        const auto encoded = CAppOctetStream::Encode(scratch.File(name), error);
        if (parameter.isEmpty()) {
            QVERIFY(!encoded);
            QVERIFY2(error.contains(u"control character"_s), qPrintable(error));
            return;
        }
        QVERIFY2(encoded, qPrintable(error));
        QVERIFY(encoded->text.contains("Content-Disposition: attachment" + parameter + "\r\n"));
        QVERIFY(encoded->text.contains(CAppOctetStream::Parameter("file", name) + "\r\n"));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why"); // empty: accepted
        const QString from = uR"("N0CALL Net" <n0call@example.org>)"_s;
        const QString to = u"bob@example.org"_s;
        QTest::newRow("all well") << from << u"Hi"_s << to << u"BOB <CALL>"_s << QString();
        QTest::newRow("header in the subject")
            << from << u"Hi\r\nBcc: all@example.org"_s << to << QString() << u"subject"_s;
        QTest::newRow("bare LF in the subject") << from << u"Hi\nX: y"_s << to << QString() << u"subject"_s;
        QTest::newRow("command in the sender")
            << u"a@example.org>\r\nRCPT TO:<x@example.org"_s << u"Hi"_s << to << QString() << u"sender"_s;
        QTest::newRow("sender no address")
            << u"N0CALL <n0call"_s << u"Hi"_s << to << QString() << u"sender"_s;
        QTest::newRow("command in the address")
            << from << u"Hi"_s << u"bob@example.org>\r\nDATA"_s << QString() << u"address"_s;
        QTest::newRow("bracket in the address")
            << from << u"Hi"_s << u"b@example.org> x"_s << QString() << u"address"_s;
        QTest::newRow("international local part")
            << from << u"Hi"_s << u"jörg@example.org"_s << QString() << u"outside ASCII"_s;
        QTest::newRow("line break in the name")
            << from << u"Hi"_s << to << u"Bob\r\nBcc: x@example.org"_s << u"name"_s;
    }
    void refused()
    {
        QFETCH(QString, from);
        QFETCH(QString, subject);
        QFETCH(QString, address);
        QFETCH(QString, name);
        QFETCH(QString, why);
        const CMIMETypeManager types;
        CMIMEMessage m(types);
        m.SetFrom(from);
        m.SetSubject(subject);
        m.AddRecipient(address, name);
        const QString refused = m.Check();
        QVERIFY2(why.isEmpty() ? refused.isEmpty() : refused.contains(why), qPrintable(refused));
    }

    void boundaryInTheText()
    {
        const CMIMETypeManager types;
        CMIMEMessage m(types);
        m.SetBody(u"quoted mail:\n"_s + QString::fromLatin1(kBoundary) + u"--\nend"_s);
        m.FormatMessage();
        QVERIFY(m.GetBoundary() != u"QV_MAIL_PaRt_BoUnDaRy_05151998"_s);
        QVERIFY(m.GetFormattedBody().endsWith("--" + m.GetBoundary().toLatin1() + "--\r\n"));
        // The longer boundary is folded onto a line of its own: no header line passes 78 characters.
        QVERIFY(m.GetHeader().contains(
            "\r\nContent-Type: multipart/mixed;\r\n boundary=" + m.GetBoundary().toLatin1() + "\r\n"));
        for (const QByteArray& line : m.GetHeader().split('\n'))
            QVERIFY2(line.size() <= 79, line.constData()); // 78 and the CR
    }

    void registryDoesNotGrow()
    {
        const CMIMETypeManager types;
        for (int i = 0; i < 50; ++i) {
            CMIMEMessage m(types);
            m.SetBody(u"x"_s);
            m.FormatMessage();
        }
        QCOMPARE(types.GetCount(), 2);
    }

    void storedMessage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8, BOM") << "\xef\xbb\xbfGr\xc3\xbc\xc3\x9f"
                                       "e\n"_ba
                                    << u"Grüße\n"_s;
        QTest::newRow("Windows-1252") << "caf\xe9 \x80 \x93q\x94\r\n"_ba << u"café € “q”\r\n"_s;
        QTest::newRow("stops at a zero byte") << QByteArray("Hi\0rest", 7) << u"Hi"_s;
    }
    void storedMessage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        CScratch scratch;
        WriteFile(scratch.File(u"invite.msg"_s), bytes);
        QCOMPARE(MailText::ReadStoredMessage(scratch.File(u"invite.msg"_s)), text);
    }
};

QTEST_GUILESS_MAIN(TestMime)
#include "tst_mime.moc"
