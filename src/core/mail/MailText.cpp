#include "core/mail/MailText.h"

#include "core/Exceptions.h"
#include "core/mail/Base64.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <QUrl>

namespace MailText {

QString ToCrLf(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 32);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1String("\r\n");
            if (i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

bool HasControl(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t') || u == 0x7F)
            return true;
    }
    return false;
}

bool IsAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QByteArray EncodedWords(const QString& text)
{
    // "=?UTF-8?B?" + 52 characters + "?=" is 64: with a field name such as "Subject: " before it the
    // line stays within 76 characters. 52 base64 characters carry 39 bytes; a word never ends inside a
    // character.
    constexpr qsizetype kMaxBytes = 39;
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = std::min(start + kMaxBytes, utf8.size());
        while (end < utf8.size() && end > start && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?";
        CBase64().Encode(utf8.constData() + start, end - start, out);
        out += "?=";
        start = end;
    }
    return out;
}

QByteArray HeaderText(const QString& text, int used)
{
    if (!IsAscii(text))
        return EncodedWords(text);
    const QByteArray ascii = text.toLatin1();
    if (used + ascii.size() <= 78)
        return ascii;
    // Folding puts a line break before a blank; unfolding takes the break out and leaves the text.
    QByteArray out;
    qsizetype line = used;
    qsizetype longest = 0;
    const QList<QByteArray> words = ascii.split(' ');
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0) {
            if (line + 1 + words[i].size() > 78 && line > 0) {
                longest = std::max(longest, line);
                out += "\r\n";
                line = 0;
            }
            out += ' ';
            ++line;
        }
        out += words[i];
        line += words[i].size();
    }
    return std::max(longest, line) > 998 ? EncodedWords(text) : out;
}

namespace {

// RFC 5322 atext, the characters a display name may hold without quotes.
bool IsAtext(char16_t c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c < 0x80 &&
           std::string_view("!#$%&'*+-/=?^_`{|}~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsQuotedString(const QString& text)
{
    if (text.size() < 2 || !text.startsWith(QLatin1Char('"')) || !text.endsWith(QLatin1Char('"')))
        return false;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\'))
            ++i; // a quoted pair
        else if (text[i] == QLatin1Char('"'))
            return false;
    }
    // The closing quote must not be the second half of a quoted pair.
    qsizetype backslashes = 0;
    for (qsizetype i = text.size() - 2; i > 0 && text[i] == QLatin1Char('\\'); --i)
        ++backslashes;
    return backslashes % 2 == 0;
}

QString Unquote(const QString& quoted)
{
    QString out;
    for (qsizetype i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == QLatin1Char('\\') && i + 2 < quoted.size())
            ++i;
        out += quoted[i];
    }
    return out;
}

} // namespace

QByteArray DisplayName(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (!IsAscii(name))
        return EncodedWords(IsQuotedString(trimmed) ? Unquote(trimmed) : trimmed) + ' ';
    // A name too long for a header line goes as encoded words, which fold.
    if (trimmed.size() > 200)
        return EncodedWords(trimmed) + ' ';
    if (IsQuotedString(trimmed))
        return name.toLatin1();
    const bool plain = std::all_of(trimmed.begin(), trimmed.end(),
                                   [](QChar c) { return c == QLatin1Char(' ') || IsAtext(c.unicode()); });
    if (plain)
        return name.toLatin1();
    QByteArray out = "\"";
    for (const QChar c : trimmed) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += '\\';
        out += static_cast<char>(c.unicode());
    }
    return out + "\" ";
}

QByteArray QuotedPrintable(const QByteArray& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size() + text.size() / 4);
    qsizetype column = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
            out += "\r\n";
            column = 0;
            ++i;
            continue;
        }
        const bool lineEnds = i + 1 == n || (text[i + 1] == '\r' && i + 2 < n && text[i + 2] == '\n');
        const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnds);
        const int width = literal ? 1 : 3;
        // Room is kept for the "=" of a soft line break, unless this is the line's last character.
        if (column + width > (lineEnds ? 76 : 75)) {
            out += "=\r\n";
            column = 0;
        }
        if (literal) {
            out += static_cast<char>(c);
        } else {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
        column += width;
    }
    return out;
}

QByteArray DateText(const QDateTime& when)
{
    const int offset = when.offsetFromUtc() / 60;
    const int magnitude = std::abs(offset);
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")).toLatin1() +
           QStringLiteral(" %1%2%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
               .arg(magnitude % 60, 2, 10, QLatin1Char('0'))
               .toLatin1();
}

std::optional<CMailbox> ParseMailbox(const QString& text)
{
    const QString trimmed = text.trimmed();
    CMailbox box;
    if (trimmed.endsWith(QLatin1Char('>'))) {
        const qsizetype open = trimmed.lastIndexOf(QLatin1Char('<'));
        if (open < 0)
            return std::nullopt;
        box.name = trimmed.left(open);
        box.address = trimmed.mid(open + 1, trimmed.size() - open - 2);
    } else {
        if (trimmed.contains(QLatin1Char('<')) || trimmed.contains(QLatin1Char('>')))
            return std::nullopt;
        box.address = trimmed;
    }
    if (!CheckAddress(box.address).isEmpty())
        return std::nullopt;
    return box;
}

QString CheckAddress(const QString& address)
{
    if (address.isEmpty())
        return QStringLiteral("the address is empty");
    if (address.size() > 254)
        return QStringLiteral("the address is longer than 254 characters");
    if (HasControl(address))
        return QStringLiteral("the address \"%1\" holds a line break or another control character")
            .arg(QString(address)
                     .replace(QLatin1Char('\r'), QLatin1String("\\r"))
                     .replace(QLatin1Char('\n'), QLatin1String("\\n")));
    for (const QChar c : address) {
        if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>'))
            return QStringLiteral("the address \"%1\" holds a blank or an angle bracket").arg(address);
    }
    if (WireAddress(address).isEmpty())
        return QStringLiteral(
                   "the address \"%1\" has characters outside ASCII before the @ or an invalid domain")
            .arg(address);
    return {};
}

QString WireAddress(const QString& address)
{
    if (IsAscii(address))
        return address;
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at < 0 || !IsAscii(address.left(at)))
        return {};
    const QByteArray domain = QUrl::toAce(address.mid(at + 1));
    if (domain.isEmpty())
        return {};
    return address.left(at + 1) + QString::fromLatin1(domain);
}

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; the five unused codes are kept as C1 controls.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString DecodeStoredMessage(const QByteArray& bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    QByteArray text = zero >= 0 ? bytes.left(zero) : bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(text);
    if (!utf8.hasError())
        return decoded;
    decoded.clear();
    decoded.reserve(text.size());
    for (const char b : text) {
        const auto c = static_cast<unsigned char>(b);
        decoded += QChar(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : char16_t(c));
    }
    return decoded;
}

QString ReadStoredMessage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()), path);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()), path);
    return DecodeStoredMessage(bytes);
}

} // namespace MailText
