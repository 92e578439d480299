// Fuzzes what the mail code takes from outside: stored message files, names and addresses from the log,
// recipient lists, subjects. Whatever the input, a message that is accepted for sending must format into
// lines that end with CR LF, a header of ASCII without a line a field could be smuggled into, and text
// lines SMTP carries (at most 998 characters).
#include "core/mail/MIMEMessage.h"
#include "core/mail/MIMETypeManager.h"
#include "core/mail/MailText.h"
#include "core/mail/TextPlain.h"

#include <QByteArray>
#include <QList>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Broken(const char* what, const QByteArray& text)
{
    std::fprintf(stderr, "fuzz_mail: %s\n%s\n", what, text.left(2000).toHex(' ').constData());
    std::abort();
}

void CheckLines(const QByteArray& text, const char* what)
{
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype lf = text.indexOf('\n', start);
        if (lf < 0 || lf == 0 || text[lf - 1] != '\r')
            Broken(what, text);
        const QByteArray line = text.mid(start, lf - 1 - start);
        if (line.contains('\r') || line.size() > 998)
            Broken(what, text);
        start = lf + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Fields separated by zero bytes: text, subject, sender, recipient list, a name, an address.
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<QByteArray> fields = input.split('\0');
    while (fields.size() < 6)
        fields << QByteArray();
    const QString text = MailText::DecodeStoredMessage(fields[0]);

    const CMIMETypeManager types;
    CMIMEMessage message(types);
    message.SetBody(text);
    message.SetSubject(QString::fromUtf8(fields[1]));
    message.SetFrom(QString::fromUtf8(fields[2]));
    message.AddMultipleRecipients(QString::fromUtf8(fields[3]));
    message.AddRecipient(QString::fromUtf8(fields[5]), QString::fromUtf8(fields[4]));
    if (!message.Check().isEmpty())
        return 0;
    message.FormatMessage();
    const QByteArray header = message.GetHeader();
    for (const char c : header) {
        if (static_cast<unsigned char>(c) >= 0x80)
            Broken("8-bit header", header);
    }
    CheckLines(header, "header line ends");
    if (!header.endsWith("\r\n\r\n"))
        Broken("header end", header);
    // Every header line but the continuations of a folded field starts with a field name.
    for (const QByteArray& line : header.split('\n')) {
        if (line.isEmpty() || line == "\r" || line.startsWith(' '))
            continue;
        static const QList<QByteArray> fieldNames{
            "From: ",     "To: ",         "Date: ",         "Subject: ",
            "X-Mailer: ", "Message-ID: ", "MIME-Version: ", "Content-Type: "};
        if (std::none_of(fieldNames.begin(), fieldNames.end(),
                         [&](const QByteArray& f) { return line.startsWith(f); }))
            Broken("unexpected header line", header);
    }
    CheckLines(message.GetFormattedBody(), "body lines");
    return 0;
}
