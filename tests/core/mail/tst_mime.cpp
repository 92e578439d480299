#include "core/app/Clock.h"
#include "core/mail/AppOctetStream.h"
#include "core/mail/Base64.h"
#include "core/mail/MIMEMessage.h"
#include "core/mail/MIMETypeManager.h"
#include "core/mail/MailText.h"
#include "core/mail/TextPlain.h"
#include "support/TestSupport.h"

#include <QTimeZone>
#include <QtTest>

using namespace TestSupport;

namespace {

const QByteArray kBoundary = "--QV_MAIL_PaRt_BoUnDaRy_05151998";

// A clock at 2024-03-07 21:05:09, five hours behind UTC.
CFixedClock NetNight()
{
    return CFixedClock(QDateTime(QDate(2024, 3, 7), QTime(21, 5, 9), Qt::OffsetFromUTC, -5 * 3600));
}

QByteArray Decode64(const QByteArray& text)
{
    QByteArray out;
    return CBase64().Decode(text.constData(), text.size(), out) ? out : QByteArray("<invalid>");
}

// The text of RFC 2047 encoded words, joined.
QString DecodeWords(QByteArray header)
{
    header.replace("\r\n ", "");
    QString text;
    qsizetype pos = 0;
    while ((pos = header.indexOf("=?UTF-8?B?", pos)) >= 0) {
        const qsizetype end = header.indexOf("?=", pos + 10);
        text += QString::fromUtf8(Decode64(header.mid(pos + 10, end - pos - 10)));
        pos = end + 2;
    }
    return text;
}

} // namespace

class TestMime : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void base64_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("one byte") << QByteArray("a") << QByteArray("YQ==");
        QTest::newRow("two bytes") << QByteArray("ab") << QByteArray("YWI=");
        QTest::newRow("abc") << QByteArray("abc") << QByteArray("YWJj");
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += static_cast<char>(i);
        QTest::newRow("every byte") << all << all.toBase64();
        QTest::newRow("54 bytes make 72 characters") << QByteArray(54, '\xff') << QByteArray(72, '/');
    }
    void base64()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, text);
        QCOMPARE(CBase64::Encode(data), text);
        QCOMPARE(Decode64(text), data);
    }

    void base64Invalid_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("one character") << QByteArray("Y");
        QTest::newRow("outside the alphabet") << QByteArray("YW*j");
        QTest::newRow("data after padding") << QByteArray("YQ==YQ==");
        QTest::newRow("missing padding") << QByteArray("YQ");
    }
    void base64Invalid()
    {
        QFETCH(QByteArray, text);
        QCOMPARE(Decode64(text), QByteArray("<invalid>"));
    }

    void recipients_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("parsed"); // address|name
        QTest::newRow("display form") << QStringLiteral("\"W4ABC (Bob)\" <bob@example.org>") << true
                                      << QStringList{QStringLiteral("bob@example.org|\"W4ABC (Bob)\" ")};
        QTest::newRow("two, bare") << QStringLiteral("a@example.org;b@example.org") << true
                                   << QStringList{QStringLiteral("a@example.org|"),
                                                  QStringLiteral("b@example.org|")};
        QTest::newRow("empty text") << QString() << true << QStringList{QStringLiteral("|")};
        QTest::newRow("trailing separator")
            << QStringLiteral("a@example.org;") << true
            << QStringList{QStringLiteral("a@example.org|"), QStringLiteral("|")};
        QTest::newRow("no closing bracket")
            << QStringLiteral("Bob <bob@example.org") << false << QStringList{};
        QTest::newRow("stops at the bad piece")
            << QStringLiteral("a@example.org;Bob >x< <bob@example.org>;c@example.org") << false
            << QStringList{QStringLiteral("a@example.org|")};
    }
    void recipients()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QStringList, parsed);
        CMailMessage m;
        QCOMPARE(m.AddMultipleRecipients(text), ok);
        QStringList got;
        for (int i = 0; i < m.GetNumRecipients(); ++i) {
            QString address, name;
            QVERIFY(m.GetRecipient(i, address, name));
            got << address + QLatin1Char('|') + name;
        }
        QCOMPARE(got, parsed);
        QString address, name;
        QVERIFY(!m.GetRecipient(m.GetNumRecipients(), address, name));
    }

    void headerLines()
    {
        // Two recipients: one To line with a comma; the display names as they came from the parser.
        const CFixedClock clock = NetNight();
        CMailMessage m;
        m.SetClock(&clock);
        m.SetMessageId(QStringLiteral("1@example.org"));
        m.SetFrom(QStringLiteral("\"N0CALL Net\" <n0call@example.org>"));
        QVERIFY(
            m.AddMultipleRecipients(QStringLiteral("\"W4ABC (Bob)\" <bob@example.org>;k1xyz@example.org")));
        m.SetSubject(QStringLiteral("Invitation: Check-in at 9:00 PM"));
        m.SetBody(QStringLiteral("Hi"));
        QVERIFY(m.FormatMessage());
        QCOMPARE(m.GetHeader(), QByteArray("From: \"N0CALL Net\" <n0call@example.org>\r\n"
                                           "To: \"W4ABC (Bob)\" <bob@example.org>,<k1xyz@example.org>\r\n"
                                           "Date: Thu, 07 Mar 2024 21:05:09 -0500\r\n"
                                           "Subject: Invitation: Check-in at 9:00 PM\r\n"
                                           "X-Mailer: QV Mail\r\n"
                                           "Message-ID: <1@example.org>\r\n"
                                           "\r\n"));
        QCOMPARE(m.GetFormattedBody(), QByteArray("Hi\r\n"));
        QCOMPARE(m.GetDate(), clock.Now().toSecsSinceEpoch());
        QCOMPARE(m.GetEnvelopeSender(), QStringLiteral("n0call@example.org"));
    }

    void messageIdMadeUp()
    {
        CMailMessage m;
        m.SetFrom(QStringLiteral("N0CALL <n0call@example.org>"));
        m.AddRecipient(QStringLiteral("bob@example.org"));
        QVERIFY(m.FormatMessage());
        const QRegularExpression id(
            QStringLiteral("\r\nMessage-ID: <\\d{14}\\.[0-9a-f]{16}@example\\.org>\r\n"));
        QVERIFY2(id.match(QString::fromLatin1(m.GetHeader())).hasMatch(), m.GetHeader().constData());
    }

    void date_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("behind UTC") << QDateTime(QDate(2024, 3, 7), QTime(21, 5, 9), Qt::OffsetFromUTC,
                                                 -5 * 3600)
                                    << QByteArray("Thu, 07 Mar 2024 21:05:09 -0500");
        QTest::newRow("half-hour zone")
            << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59), Qt::OffsetFromUTC, 19800)
            << QByteArray("Wed, 31 Dec 2025 23:59:59 +0530");
        QTest::newRow("UTC") << QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC)
                             << QByteArray("Sat, 01 Jan 2000 00:00:00 +0000");
    }
    void date()
    {
        QFETCH(QDateTime, when);
        QFETCH(QByteArray, text);
        // Whatever the user's language: the names are English.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QByteArray got = MailText::DateText(when);
        QLocale::setDefault(previous);
        QCOMPARE(got, text);
    }

    void wrap_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wrapped");
        QString tens; // "aaaaaaaaa " ten times: spaces at 9, 19, ... 99
        for (int i = 0; i < 10; ++i)
            tens += QStringLiteral("aaaaaaaaa ");
        QTest::newRow("broken once, at the last space before the 78th character")
            << tens << tens.left(69) + QStringLiteral("\r\n") + tens.mid(70);
        QTest::newRow("short lines stay")
            << QStringLiteral("Hello Bob,\r\nsee you.") << QStringLiteral("Hello Bob,\r\nsee you.");
        QTest::newRow("77 characters stay") << QString(75, QLatin1Char('x')) + QStringLiteral(" y")
                                            << QString(75, QLatin1Char('x')) + QStringLiteral(" y");
        QTest::newRow("78 characters break") << QString(76, QLatin1Char('x')) + QStringLiteral(" y")
                                             << QString(76, QLatin1Char('x')) + QStringLiteral("\r\ny");
        QTest::newRow("no space in the first 77: a leading line end")
            << QString(100, QLatin1Char('x')) << QStringLiteral("\r\n") + QString(100, QLatin1Char('x'));
        QTest::newRow("blanks around the break go")
            << QString(70, QLatin1Char('x')) + QStringLiteral("   ") + QString(10, QLatin1Char('y'))
            << QString(70, QLatin1Char('x')) + QStringLiteral("\r\n") + QString(10, QLatin1Char('y'));
    }
    void wrap()
    {
        QFETCH(QString, text);
        QFETCH(QString, wrapped);
        QCOMPARE(CTextPlain::Wrap(text, 76), wrapped);
    }

    void layout()
    {
        // Text and one attachment, every line of the message.
        CScratch scratch;
        WriteFile(scratch.File(QStringLiteral("abc.txt")), "abc");
        const CFixedClock clock = NetNight();
        CMIMEMessage m;
        m.SetClock(&clock);
        m.SetMessageId(QStringLiteral("1@example.org"));
        m.SetFrom(QStringLiteral("\"N0CALL Net\" <n0call@example.org>"));
        m.AddRecipient(QStringLiteral("bob@example.org"), QStringLiteral("W4ABC (Bob)"));
        m.SetSubject(QStringLiteral("Invitation"));
        m.SetBody(QStringLiteral("Hello Bob,\nsee you tonight.\n"));
        m.AddMIMEPart(scratch.File(QStringLiteral("abc.txt")));
        QVERIFY(m.FormatMessage());
        QCOMPARE(m.GetHeader(),
                 QByteArray("From: \"N0CALL Net\" <n0call@example.org>\r\n"
                            "To: \"W4ABC (Bob)\" <bob@example.org>\r\n"
                            "Date: Thu, 07 Mar 2024 21:05:09 -0500\r\n"
                            "Subject: Invitation\r\n"
                            "X-Mailer: QV Mail\r\n"
                            "Message-ID: <1@example.org>\r\n"
                            "MIME-Version: 1.0\r\n"
                            "Content-Type: multipart/mixed; boundary=QV_MAIL_PaRt_BoUnDaRy_05151998\r\n"
                            "\r\n"));
        QCOMPARE(m.GetFormattedBody(), "This is a multi-part message in MIME format.\r\n\r\n" + kBoundary +
                                           "\r\n"
                                           "Content-Type: text/plain\r\n"
                                           "Content-Transfer-Encoding: 7Bit\r\n\r\n"
                                           "Hello Bob,\r\nsee you tonight.\r\n" +
                                           kBoundary +
                                           "\r\n"
                                           "Content-Type: application/octet-stream; file=abc.txt\r\n"
                                           "Content-Transfer-Encoding: base64\r\n"
                                           "Content-Disposition: attachment; filename=abc.txt\r\n\r\n"
                                           "YWJj\r\n\r\n" +
                                           kBoundary + "--\r\n");
        // Formatting again gives the same text, not a second text part.
        const QByteArray once = m.GetFormattedBody();
        QVERIFY(m.FormatMessage());
        QCOMPARE(m.GetFormattedBody(), once);
    }

    void attachmentLines_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("lineLengths"); // of the part after its sub-header
        QTest::newRow("empty file") << 0 << QList<int>{0, 0};
        QTest::newRow("54 bytes: an empty line from the empty last chunk") << 54 << QList<int>{72, 0, 0};
        QTest::newRow("55 bytes") << 55 << QList<int>{72, 4, 0};
        QTest::newRow("a multiple of 54 across read blocks") << 54 * 5000 << [] {
            QList<int> l(5000, 72);
            l << 0 << 0;
            return l;
        }();
    }
    void attachmentLines()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, lineLengths);
        CScratch scratch;
        QByteArray data(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>(i * 7);
        WriteFile(scratch.File(QStringLiteral("f.bin")), data);
        QString error;
        const auto encoded = CAppOctetStream::Encode(scratch.File(QStringLiteral("f.bin")), error);
        QVERIFY2(encoded, qPrintable(error));
        QByteArray text = encoded->text.mid(encoded->text.indexOf("\r\n\r\n") + 4);
        QVERIFY(text.endsWith("\r\n"));
        text.chop(2);
        QList<int> lengths;
        for (const QByteArray& line : text.split('\n'))
            lengths << static_cast<int>(line.size()) - (line.endsWith('\r') ? 1 : 0);
        QCOMPARE(lengths, lineLengths);
        QCOMPARE(Decode64(text), data);
    }

    void unreadableAttachment()
    {
        // The boundary before it stays and the part is empty; the failure is reported.
        CMIMEMessage m;
        m.SetFrom(QStringLiteral("n0call@example.org"));
        m.AddRecipient(QStringLiteral("bob@example.org"));
        m.SetBody(QStringLiteral("Hi"));
        m.AddMIMEPart(QStringLiteral("/nonexistent/agenda.pdf"));
        QVERIFY(!m.FormatMessage());
        QVERIFY2(m.GetFormatError().contains(QLatin1String("/nonexistent/agenda.pdf")),
                 qPrintable(m.GetFormatError()));
        QVERIFY(m.GetFormattedBody().endsWith("Hi\r\n" + kBoundary + "\r\n" + kBoundary + "--\r\n"));
    }

    void eightBit()
    {
        // Headers as encoded words, the text as quoted-printable UTF-8.
        CMIMEMessage m;
        m.SetFrom(QStringLiteral("\"Jörg Müller\" <dl1abc@example.org>"));
        m.AddRecipient(QStringLiteral("bob@example.org"), QStringLiteral("W4ABC (José)"));
        const QString subject = QStringLiteral("Einladung: Prüfungsnetz heute um 21 Uhr — bitte weitersagen, "
                                               "Grüße an alle Funkamateure ✓");
        m.SetSubject(subject);
        m.SetBody(QStringLiteral("Grüße = 73\n"));
        QVERIFY(m.FormatMessage());
        const QByteArray header = m.GetHeader();
        QVERIFY(MailText::IsAscii(QString::fromLatin1(header)));
        for (const QByteArray& line : header.split('\n'))
            QVERIFY2(line.size() <= 77 || !line.contains("=?"), line.constData()); // 76 and CR
        const auto field = [&](const QByteArray& name) {
            const qsizetype start = header.indexOf("\r\n" + name + ": ") + name.size() + 4;
            qsizetype end = start;
            while ((end = header.indexOf("\r\n", end)) >= 0 && header.mid(end + 2, 1) == " ")
                end += 2;
            return header.mid(start, end - start);
        };
        QCOMPARE(DecodeWords(field("Subject")), subject);
        QCOMPARE(DecodeWords(field("To")), QStringLiteral("W4ABC (José)"));
        QVERIFY(field("To").endsWith("?= <bob@example.org>"));
        QVERIFY(header.startsWith("From: =?UTF-8?B?"));
        QCOMPARE(DecodeWords(header.left(header.indexOf("\r\n"))), QStringLiteral("Jörg Müller"));
        QVERIFY(m.GetFormattedBody().contains("Content-Type: text/plain; charset=UTF-8\r\n"
                                              "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                              "Gr=C3=BC=C3=9Fe =3D 73\r\n"));
    }

    void quotedPrintable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("trailing blank") << QByteArray("a \r\nb\t") << QByteArray("a=20\r\nb=09");
        QTest::newRow("soft break keeps lines at 76")
            << QByteArray(80, 'x') << QByteArray(75, 'x') + "=\r\n" + QByteArray(5, 'x');
        QTest::newRow("escapes are not split")
            << QByteArray(74, 'x') + "\xc3\xa9" << QByteArray(74, 'x') + "=\r\n=C3=A9";
    }
    void quotedPrintable()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(MailText::QuotedPrintable(text), encoded);
    }

    void longAsciiLineGoesQuotedPrintable()
    {
        // A line a server would refuse (over 998 characters, no space to break at).
        CMIMEMessage m;
        m.SetBody(QStringLiteral("See https://example.org/") + QString(1200, QLatin1Char('a')));
        m.FormatMessage();
        const QByteArray body = m.GetFormattedBody();
        QVERIFY(body.contains("Content-Transfer-Encoding: quoted-printable"));
        for (const QByteArray& line : body.split('\n'))
            QVERIFY(line.size() <= 77);
    }

    void attachmentNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("parameter");
        QTest::newRow("token") << QStringLiteral("agenda.pdf") << QByteArray("; filename=agenda.pdf");
        QTest::newRow("blank") << QStringLiteral("net agenda.pdf")
                               << QByteArray("; filename=\"net agenda.pdf\"");
        QTest::newRow("semicolon") << QStringLiteral("a;b.txt") << QByteArray("; filename=\"a;b.txt\"");
        QTest::newRow("quote and backslash")
            << QStringLiteral("a\"b\\c") << QByteArray("; filename=\"a\\\"b\\\\c\"");
        QTest::newRow("non-ASCII") << QStringLiteral("Prüfung 1.pdf")
                                   << QByteArray("; filename*=UTF-8''Pr%C3%BCfung%201.pdf");
    }
    void attachmentNames()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, parameter);
        QCOMPARE(CAppOctetStream::Parameter("filename", name), parameter);
        CScratch scratch;
        WriteFile(scratch.File(name), "x");
        QString error;
        const auto encoded = CAppOctetStream::Encode(scratch.File(name), error);
        QVERIFY2(encoded, qPrintable(error));
        QVERIFY(encoded->text.contains("Content-Disposition: attachment" + parameter + "\r\n"));
    }

    void attachmentNameWithLineBreak()
    {
        CScratch scratch;
        const QString path = scratch.File(QStringLiteral("x.txt\r\nX-Injected: yes"));
        WriteFile(path, "x");
        QString error;
        QVERIFY(!CAppOctetStream::Encode(path, error));
        QVERIFY2(error.contains(QLatin1String("control character")), qPrintable(error));
    }

    void refusedValues_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why"); // empty: accepted
        const QString from = QStringLiteral("\"N0CALL Net\" <n0call@example.org>");
        const QString to = QStringLiteral("bob@example.org");
        QTest::newRow("all well") << from << QStringLiteral("Hi") << to << QStringLiteral("BOB <CALL>")
                                  << QString();
        QTest::newRow("header in the subject") << from << QStringLiteral("Hi\r\nBcc: all@example.org") << to
                                               << QString() << QStringLiteral("subject");
        QTest::newRow("bare LF in the subject")
            << from << QStringLiteral("Hi\nX: y") << to << QString() << QStringLiteral("subject");
        QTest::newRow("command in the sender")
            << QStringLiteral("a@example.org>\r\nRCPT TO:<x@example.org") << QStringLiteral("Hi") << to
            << QString() << QStringLiteral("sender");
        QTest::newRow("sender is no address") << QStringLiteral("N0CALL <n0call") << QStringLiteral("Hi")
                                              << to << QString() << QStringLiteral("sender");
        QTest::newRow("command in the address")
            << from << QStringLiteral("Hi") << QStringLiteral("bob@example.org>\r\nDATA") << QString()
            << QStringLiteral("address");
        QTest::newRow("bracket in the address")
            << from << QStringLiteral("Hi") << QStringLiteral("bob@example.org> x") << QString()
            << QStringLiteral("address");
        QTest::newRow("international local part")
            << from << QStringLiteral("Hi") << QStringLiteral("jörg@example.org") << QString()
            << QStringLiteral("outside ASCII");
        QTest::newRow("line break in the name")
            << from << QStringLiteral("Hi") << to << QStringLiteral("Bob\r\nBcc: x@example.org")
            << QStringLiteral("name");
    }
    void refusedValues()
    {
        QFETCH(QString, from);
        QFETCH(QString, subject);
        QFETCH(QString, address);
        QFETCH(QString, name);
        QFETCH(QString, why);
        CMIMEMessage m;
        m.SetFrom(from);
        m.SetSubject(subject);
        m.AddRecipient(address, name);
        const QString refused = m.Check();
        if (why.isEmpty())
            QVERIFY2(refused.isEmpty(), qPrintable(refused));
        else
            QVERIFY2(refused.contains(why), qPrintable(refused));
    }

    void displayNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("parsed, with its blank") << QStringLiteral("Bob ") << QByteArray("Bob ");
        QTest::newRow("already quoted")
            << QStringLiteral("\"W4ABC (Bob)\" ") << QByteArray("\"W4ABC (Bob)\" ");
        QTest::newRow("brackets are quoted")
            << QStringLiteral("W4ABC (BOB <CALL>)") << QByteArray("\"W4ABC (BOB <CALL>)\" ");
        QTest::newRow("semicolon is quoted") << QStringLiteral("Smith; Bob") << QByteArray("\"Smith; Bob\" ");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void displayNames()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, shown);
        QCOMPARE(MailText::DisplayName(name), shown);
    }

    void internationalDomain()
    {
        // The domain goes in its ASCII form, in the header as in the envelope.
        CMailMessage m;
        m.SetFrom(QStringLiteral("Jörg <dl1abc@bücher.example>"));
        m.AddRecipient(QStringLiteral("bob@bücher.example"));
        QVERIFY(m.Check().isEmpty());
        QVERIFY(m.FormatMessage());
        QVERIFY(m.GetHeader().startsWith("From: =?UTF-8?B?SsO2cmc=?= <dl1abc@xn--bcher-kva.example>\r\n"
                                         "To: <bob@xn--bcher-kva.example>\r\n"));
        QCOMPARE(m.GetEnvelopeSender(), QStringLiteral("dl1abc@xn--bcher-kva.example"));
    }

    void boundaryInTheText()
    {
        CMIMEMessage m;
        m.SetBody(QStringLiteral("quoted mail:\n") + QString::fromLatin1(kBoundary) +
                  QStringLiteral("--\nend"));
        m.FormatMessage();
        QVERIFY(m.GetBoundary() != QStringLiteral("QV_MAIL_PaRt_BoUnDaRy_05151998"));
        QVERIFY(m.GetFormattedBody().endsWith("--" + m.GetBoundary().toLatin1() + "--\r\n"));
    }

    void registryDoesNotGrow()
    {
        const int agents = CMIMETypeManager::Instance().GetCount();
        for (int i = 0; i < 50; ++i) {
            CMIMEMessage m;
            m.SetBody(QStringLiteral("x"));
            m.FormatMessage();
        }
        QCOMPARE(CMIMETypeManager::Instance().GetCount(), agents);
        QCOMPARE(agents, 2);
        QCOMPARE(
            CMIMETypeManager::Instance().GetHandler(CMIMEContentAgent::TextPlain)->GetContentTypeString(),
            QStringLiteral("text/plain"));
        QVERIFY(!CMIMETypeManager::Instance().GetHandler(7));
    }

    void storedMessage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                             "e\n")
                               << QStringLiteral("Grüße\n");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbfHi") << QStringLiteral("Hi");
        QTest::newRow("Windows-1252")
            << QByteArray("caf\xe9 \x80 \x93quoted\x94\r\n") << QStringLiteral("café € “quoted”\r\n");
        QTest::newRow("stops at a zero byte") << QByteArray("Hi\0rest", 7) << QStringLiteral("Hi");
    }
    void storedMessage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        CScratch scratch;
        WriteFile(scratch.File(QStringLiteral("invite.msg")), bytes);
        QCOMPARE(MailText::ReadStoredMessage(scratch.File(QStringLiteral("invite.msg"))), text);
    }
};

QTEST_GUILESS_MAIN(TestMime)
#include "tst_mime.moc"
