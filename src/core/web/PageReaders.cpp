#include "core/web/PreNet.h"

#include <QStringDecoder>

// The readers of the club server's pages: they see whatever the network brings, so every input is read in
// linear time and none can make them fail.

QString CPreNetPage::Message() const
{
    switch (status) {
    case NothingFound:
        return QStringLiteral("Nothing found so far for today");
    case BadServer:
        return QStringLiteral("Bad Server Name perhaps?");
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
        return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    };

    qsizetype from = body.indexOf("/form>");
    if (from < 0)
        from = 0;
    for (;;) {
        const qsizetype li = body.indexOf("<li>", from);
        if (li < 0)
            break;
        const qsizetype start = li + 4;
        qsizetype end = body.indexOf('<', start);
        if (end < 0)
            end = body.size();
        from = end;
        const QByteArrayView item(body.constData() + start, end - start);

        CPreNetEntry e;
        const qsizetype comma = item.indexOf(',');
        e.call = text(comma < 0 ? item : item.first(comma)).remove(QLatin1Char('+')).trimmed();
        if (comma >= 0) {
            const QByteArrayView rest = item.sliced(comma + 1);
            const qsizetype comma2 = rest.indexOf(',');
            // The club's web form sends a blank as "+": John+Smith is John Smith.
            e.name = text(comma2 < 0 ? rest : rest.first(comma2))
                         .replace(QLatin1Char('+'), QLatin1Char(' '))
                         .remove(QLatin1Char(','))
                         .simplified();
            if (comma2 >= 0)
                e.location = text(rest.sliced(comma2 + 1)).trimmed();
        }
        if (!e.call.isEmpty())
            page.entries.push_back(std::move(e));
    }
    page.status = page.entries.empty() ? CPreNetPage::NothingFound : CPreNetPage::Entries;
    return page;
}

QStringList ParseEchoLink(const QString& body)
{
    QStringList lines;
    const qsizetype b = body.indexOf(QLatin1String("<body>"));
    if (b < 0)
        return lines;
    const qsizetype start = b + 6;
    const qsizetype e = body.indexOf(QLatin1String("</body>"));
    const QStringView content = e < start ? QStringView() : QStringView(body).sliced(start, e - start);
    const auto add = [&](QStringView piece) {
        const QString line = piece.trimmed().toString();
        if (!line.isEmpty())
            lines << line;
    };
    qsizetype space = content.indexOf(QLatin1Char(' '));
    if (space < 0) {
        add(content);
        return lines;
    }
    qsizetype pos = 0;
    for (;;) {
        add(content.sliced(pos, space - pos));
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
