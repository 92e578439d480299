#include "core/mail/TextPlain.h"

#include "core/mail/MailText.h"

namespace {

// The white space the wrap trims: blank, tab and the line-end characters.
bool IsWrapSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\v' || u == '\f';
}

// The longest line SMTP carries is 998 characters and CR LF.
bool HasOverlongLine(const QByteArray& text)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf("\r\n", start);
        if (end < 0)
            end = text.size();
        if (end - start > 998)
            return true;
        start = end + 2;
    }
    return false;
}

} // namespace

CTextPlain::CTextPlain(int wrapWidth) : CMIMEContentAgent(TextPlain), m_nWrapPos(wrapWidth) {}

QString CTextPlain::Wrap(QString text, int width)
{
    // The count is restarted by a line end and by a break; the last space seen is kept across both.
    int count = 0;
    qsizetype lastSpace = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char(' '))
            lastSpace = i;
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            count = 1;
        } else if (count <= width) {
            ++count;
        } else {
            qsizetype leftEnd = lastSpace;
            while (leftEnd > 0 && IsWrapSpace(text[leftEnd - 1]))
                --leftEnd;
            qsizetype rightStart = lastSpace;
            while (rightStart < text.size() && IsWrapSpace(text[rightStart]))
                ++rightStart;
            text.replace(leftEnd, rightStart - leftEnd, QStringLiteral("\r\n"));
            count = 0;
        }
    }
    return text;
}

QByteArray CTextPlain::BuildSubHeader(const CMIMEPart& part) const
{
    return "Content-Type: " + GetContentTypeString().toLatin1() + part.parameters.toUtf8() +
           "\r\nContent-Transfer-Encoding: 7Bit\r\n\r\n";
}

bool CTextPlain::AppendPart(const CMIMEPart& part, QByteArray& body, QString& error) const
{
    Q_UNUSED(error);
    const QByteArray text = Wrap(MailText::ToCrLf(part.content), m_nWrapPos).toUtf8();
    if (MailText::IsAscii(part.content) && !HasOverlongLine(text)) {
        body += BuildSubHeader(part);
        body += text;
        return true;
    }
    // Eight-bit text, or a line too long for SMTP: quoted-printable keeps both intact.
    body += "Content-Type: " + GetContentTypeString().toLatin1() + "; charset=UTF-8" +
            part.parameters.toUtf8() + "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    body += MailText::QuotedPrintable(text);
    return true;
}
