#include "core/web/PreNet.h"

#include <QStringDecoder>

// The readers of the club server's pages: they see whatever the network brings, so every input is read in
// linear time and none can make them fail.

QString CPreNetPage::Summary() const
{
    if (status != Entries)
        return Message();
    QString text =
        QStringLiteral("Pre-net: %1 check-in%2").arg(entries.size()).arg(entries.size() == 1 ? "" : "s");
    if (capped)
        text += QStringLiteral(" (the page holds more; only the first %1 are read)").arg(PreNet::kMaxEntries);
    return text;
}

QString CPreNetPage::Message() const
{
    switch (status) {
    case NothingFound:
        return QStringLiteral("Nothing found so far for today");
    case BadServer:
        return QStringLiteral("Bad Server Name perhaps?");
    case Failed:
        return QStringLiteral("Pre-net check-ins not fetched: %1").arg(failure);
    case Entries:
    default:
        return {};
    }
}

namespace PreNet {

namespace {

// The server's contract: its empty page of the day has exactly this many bytes, and no page with
// entries is this short.
constexpr qsizetype kEmptyPageBytes = 1357;
constexpr qsizetype kShortestPageBytes = 1375;

bool IsUtf8(const QByteArray& bytes)
{
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = d(bytes); // decodes only when converted
    return !d.hasError();
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The next tag of one name ("<li", "</li", ...) in a page already in lower case: the name must be followed
// by ">" or a blank ("<link" is no "<li"). Each finder remembers its last hit, so that asking again and
// again from later positions reads the page once in all.
class CTagFinder
{
public:
    CTagFinder(const QByteArray& lower, const char* name) : m_lower(lower), m_name(name) {}

    // Where the tag begins at or after from; -1 when it does not occur any more.
    qsizetype From(qsizetype from)
    {
        if (m_at == -1 || (m_at >= from && m_known))
            return m_at;
        qsizetype pos = from;
        for (;;) {
            pos = m_lower.indexOf(m_name, pos);
            if (pos < 0)
                break;
            const qsizetype after = pos + m_name.size();
            if (after >= m_lower.size() || m_lower[after] == '>' || IsSpace(m_lower[after]))
                break;
            pos = after;
        }
        m_at = pos;
        m_known = true;
        return m_at;
    }

private:
    const QByteArray& m_lower;
    QByteArrayView m_name;
    qsizetype m_at = 0;
    bool m_known = false;
};

// The text of an element's content with its tags and comments left out.
QByteArray WithoutTags(QByteArrayView item)
{
    QByteArray out;
    out.reserve(item.size());
    qsizetype i = 0;
    while (i < item.size()) {
        const char c = item[i];
        if (c != '<') {
            out += c;
            ++i;
            continue;
        }
        if (item.sliced(i).startsWith("<!--")) {
            const qsizetype end = item.indexOf("-->", i + 4);
            i = end < 0 ? item.size() : end + 3;
            continue;
        }
        const qsizetype end = item.indexOf('>', i + 1);
        i = end < 0 ? item.size() : end + 1;
    }
    return out;
}

// The character references of HTML: the five named ones and &nbsp;, decimal and hexadecimal ones.
// Anything else stays as it stands. Control characters, from the page or a reference, become blanks.
QString DecodeEntities(const QString& text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (c != QLatin1Char('&')) {
            const char16_t u = c.unicode();
            out += (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)) ? QChar(u' ') : c;
            ++i;
            continue;
        }
        // A reference is short: look no further than its longest form ("&#x10FFFF;"), so that a page of
        // "&"s without ";" is still read in linear time.
        const qsizetype window = qMin<qsizetype>(10, n - i - 1);
        const qsizetype found = QStringView(text).sliced(i + 1, window).indexOf(QLatin1Char(';'));
        const qsizetype semi = found < 0 ? -1 : i + 1 + found;
        if (semi < 0) {
            out += c;
            ++i;
            continue;
        }
        const QStringView name = QStringView(text).sliced(i + 1, semi - i - 1);
        char32_t code = 0;
        if (name == u"amp")
            code = '&';
        else if (name == u"lt")
            code = '<';
        else if (name == u"gt")
            code = '>';
        else if (name == u"quot")
            code = '"';
        else if (name == u"apos")
            code = '\'';
        else if (name == u"nbsp")
            code = ' ';
        else if (name.size() > 1 && name[0] == u'#') {
            bool ok = false;
            const bool hex = name[1] == u'x' || name[1] == u'X';
            const uint value = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (ok && value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF) &&
                (name.sliced(hex ? 2 : 1)[0].isDigit() || hex))
                code = value;
        }
        if (code == 0) {
            out += c;
            ++i;
            continue;
        }
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0))
            code = ' ';
        out += QString::fromUcs4(&code, 1);
        i = semi + 1;
    }
    return out;
}

} // namespace

CPreNetPage ParsePage(const QByteArray& body)
{
    CPreNetPage page;
    if (body.contains("404") || body.size() <= kShortestPageBytes) {
        page.status = body.size() == kEmptyPageBytes ? CPreNetPage::NothingFound : CPreNetPage::BadServer;
        return page;
    }
    const bool utf8 = IsUtf8(body);
    const auto text = [utf8](QByteArrayView bytes) {
        return DecodeEntities(utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes));
    };

    // Tags in any case: "<LI>" is "<li>".
    const QByteArray lower = body.toLower();
    qsizetype from = lower.indexOf("/form>");
    if (from < 0)
        from = 0;
    CTagFinder itemStart(lower, "<li"), itemEnd(lower, "</li"), ulEnd(lower, "</ul"), olEnd(lower, "</ol");
    for (;;) {
        const qsizetype li = itemStart.From(from);
        if (li < 0)
            break;
        const qsizetype tagEnd = lower.indexOf('>', li);
        if (tagEnd < 0)
            break;
        const qsizetype start = tagEnd + 1;
        // The entry runs to its "</li>", or to the next "<li>" or the end of the list when it is not closed.
        qsizetype end = body.size();
        for (const qsizetype at :
             {itemEnd.From(start), itemStart.From(start), ulEnd.From(start), olEnd.From(start)})
            if (at >= 0 && at < end)
                end = at;
        from = end;
        const QByteArray item = WithoutTags(QByteArrayView(body.constData() + start, end - start));

        CPreNetEntry e;
        const qsizetype comma = item.indexOf(',');
        e.call = text(comma < 0 ? QByteArrayView(item) : QByteArrayView(item).first(comma))
                     .remove(QLatin1Char('+'))
                     .simplified();
        if (comma >= 0) {
            const QByteArrayView rest = QByteArrayView(item).sliced(comma + 1);
            const qsizetype comma2 = rest.indexOf(',');
            // The club's web form sends a blank as "+": John+Smith is John Smith. "&#43;" is a plus.
            QByteArray name = (comma2 < 0 ? rest : rest.first(comma2)).toByteArray();
            name.replace('+', ' ');
            e.name = text(name).simplified();
            if (comma2 >= 0)
                e.location = text(rest.sliced(comma2 + 1)).simplified();
        }
        if (!e.call.isEmpty()) {
            if (page.entries.size() >= kMaxEntries) {
                page.capped = true;
                break;
            }
            page.entries.push_back(std::move(e));
        }
    }
    page.status = page.entries.empty() ? CPreNetPage::NothingFound : CPreNetPage::Entries;
    return page;
}

QStringList ParseEchoLink(const QString& body, bool* capped)
{
    QStringList lines;
    if (capped)
        *capped = false;
    const qsizetype b = body.indexOf(QLatin1String("<body>"));
    if (b < 0)
        return lines;
    const qsizetype start = b + 6;
    const qsizetype e = body.indexOf(QLatin1String("</body>"));
    const QStringView content = e < start ? QStringView() : QStringView(body).sliced(start, e - start);
    // false once the list is full.
    const auto add = [&](QStringView piece) {
        const QString line = piece.trimmed().toString();
        if (line.isEmpty())
            return true;
        if (lines.size() >= qsizetype(kMaxEntries)) {
            if (capped)
                *capped = true;
            return false;
        }
        lines << line;
        return true;
    };
    qsizetype space = content.indexOf(QLatin1Char(' '));
    if (space < 0) {
        add(content);
        return lines;
    }
    qsizetype pos = 0;
    for (;;) {
        if (!add(content.sliced(pos, space - pos)))
            break;
        pos = space + 1;
        space = content.indexOf(QLatin1Char(' '), pos);
        if (space < 0 || space == pos)
            break;
    }
    return lines;
}

int Reselect(const QStringList& lines, const QString& previousText, int previousIndex)
{
    if (previousIndex < 0 || lines.size() < previousIndex || lines.isEmpty())
        return -1;
    const int n = int(lines.size());
    for (int k = 1; k <= n; ++k) {
        const int i = k % n;
        if (lines[i].startsWith(previousText, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

} // namespace PreNet
