#include "core/web/UploadLog.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/log/LogQueries.h"

#include <QDir>
#include <algorithm>
#include <array>

namespace {

const char kPageTemplate[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\"> \n"
    "<html> \n"
    "<head> \n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\"> \n"
    "<meta name=\"GENERATOR\" content=\"Logwarden\"> \n"
    "<title>OSTRA Net Log</title> \n"
    "<link rel=\"stylesheet\" href=\"/css/ostra.css\" type=\"text/css\" title=\"OSTRA Stylesheet\"> \n"
    "<meta http-equiv=\"refresh\" content=\"120\"> \n"
    "</head> \n"
    "<body style=\"background-color: #FFFFFF; background-image: linear-gradient(to bottom, #FFFFFF, "
    "#def7fc); "
    "background-attachment: fixed;\"> \n"
    "<table align=\"center\"> \n"
    "  <tr><td><img src=\"NetLog.png\" alt=\"OSTRA NetLog\" border=\"0\"></td></tr> \n"
    "</table> \n"
    "<hr> \n"
    "<h3 align=\"center\">RECORDCOUNT Stations Checked in to the NETNAME on DATE</h3> \n"
    "<table cellpadding=\"3\" cellspacing=\"3\" align=\"center\" border=\"0\" width=\"80%\" "
    "bgcolor=\"#182946\" "
    "class=\"TableHeight100\"> \n"
    "  <tr align=center> \n"
    "    <td class=\"TableBorder-3d-i\" width=\"20\"><div align=\"left\" "
    "class=\"headline-10p\">Count</div></td> \n"
    "    <td class=\"TableBorder-3d-i\" width=\"90\"><div align=\"left\" class=\"headline-10p\">Station "
    "Call</div></td> \n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"left\" class=\"headline-10p\">Name</div></td> \n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"left\" class=\"headline-10p\">Location</div></td> \n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"left\" class=\"headline-10p\">Comments</div></td> \n"
    "  </tr> \n"
    "RECORDENTRIESHERE</table> \n"
    "<hr align=\"center\"> \n"
    "<p align=\"center\"><font size=\"-2\">Questions about the net: "
    "<a href=\"mailto:net@ostra.example.org\">net@ostra.example.org</a></font></p> \n"
    "<p align=\"center\"><font size=\"-2\">&copy; COPYRIGHTYEAR CLUBNAME</font></p> \n"
    "<p align=\"center\"><font size=\"-2\"><a href=\"/\" target=\"_top\">Back to the CLUBNAME home "
    "page</a></font></p> \n"
    "<p align=\"center\"><font size=\"-2\">Webmaster: "
    "<a href=\"mailto:webmaster@ostra.example.org\">webmaster@ostra.example.org</a></font></p> \n"
    "</body> \n"
    "</html> \n";

const char kRowTemplate[] =
    "  <tr align=center>\n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"right\" class=\"headline-10p\">RECORD.) </div></td>\n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"left\" class=\"headline-10p\">"
    "<a href=\"https://www.qrz.com/db/CALL\" target=\"_blank\">CALL</a></div></td>\n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"left\" class=\"headline-10p\"><b>"
    "<font color=\"#53B5D5\">NAME</font></b></div></td>\n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"left\" class=\"headline-10p\"><b>"
    "<font color=\"#53B5D5\">LOCATION</font></b></div></td>\n"
    "    <td class=\"TableBorder-3d-i\"><div align=\"left\" class=\"headline-10p\"><b>"
    "<font color=\"#53B5D5\">COMMENTS</font></b></div></td>\n"
    "  </tr>\n";

const char kStayingText[] = "<font color=\"#00FF00\">Is staying for comments. </font><br>";

// Placeholders, longest first where one begins another.
enum RowKey
{
    Record,
    Call,
    Name,
    Location,
    Comments,
    kRowKeys
};
const std::array<QLatin1String, kRowKeys> kRowKeyText = {QLatin1String("RECORD"), QLatin1String("CALL"),
                                                         QLatin1String("NAME"), QLatin1String("LOCATION"),
                                                         QLatin1String("COMMENTS")};
enum PageKey
{
    Entries,
    Count,
    Date,
    Year,
    Net,
    Club,
    kPageKeys
};
const std::array<QLatin1String, kPageKeys> kPageKeyText = {
    QLatin1String("RECORDENTRIESHERE"), QLatin1String("RECORDCOUNT"), QLatin1String("DATE"),
    QLatin1String("COPYRIGHTYEAR"),     QLatin1String("NETNAME"),     QLatin1String("CLUBNAME")};

// A template cut at its placeholders: literal, key, literal, key, ..., literal.
struct CCompiled
{
    QStringList literals;
    std::vector<int> keys;
};

template <size_t N> CCompiled Compile(const QString& text, const std::array<QLatin1String, N>& keys)
{
    CCompiled c;
    qsizetype literalStart = 0;
    for (qsizetype i = 0; i < text.size();) {
        int found = -1;
        for (size_t k = 0; k < N && found < 0; ++k) {
            if (QStringView(text).sliced(i).startsWith(keys[k]))
                found = int(k);
        }
        if (found < 0) {
            ++i;
            continue;
        }
        c.literals << text.mid(literalStart, i - literalStart);
        c.keys.push_back(found);
        i += keys[size_t(found)].size();
        literalStart = i;
    }
    c.literals << text.mid(literalStart);
    return c;
}

template <size_t N> QString Fill(const CCompiled& c, const std::array<QString, N>& values)
{
    qsizetype size = 0;
    for (const QString& l : c.literals)
        size += l.size();
    for (int k : c.keys)
        size += values[size_t(k)].size();
    QString out;
    out.reserve(size);
    for (size_t i = 0; i < c.keys.size(); ++i) {
        out += c.literals[qsizetype(i)];
        out += values[size_t(c.keys[i])];
    }
    out += c.literals.last();
    return out;
}

QString FillRow(const QString& text, const std::array<QString, kRowKeys>& values)
{
    // The program only ever uses the default template: compiled once, a constant; another is compiled
    // where it is used.
    static const CCompiled standard = Compile(CUploadLog::DefaultRowTemplate(), kRowKeyText);
    if (text == CUploadLog::DefaultRowTemplate())
        return Fill(standard, values);
    return Fill(Compile(text, kRowKeyText), values);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------

CUploadLog::CUploadLog() : m_rowTemplate(DefaultRowTemplate()), m_pageTemplate(DefaultPageTemplate()) {}

CUploadLog::~CUploadLog() = default;

const QString& CUploadLog::DefaultPageTemplate()
{
    static const QString text = QString::fromLatin1(kPageTemplate);
    return text;
}

const QString& CUploadLog::DefaultRowTemplate()
{
    static const QString text = QString::fromLatin1(kRowTemplate);
    return text;
}

QString CUploadLog::MakeRow(int n, const CCheckinRecord& record) const
{
    QString comment = NetLog::EscapeHtml(record.comment);
    if (record.hasComments)
        comment.prepend(QLatin1String(kStayingText));
    const std::array<QString, kRowKeys> values = {QString::number(n), NetLog::EscapeHtml(record.callSign),
                                                  NetLog::EscapeHtml(record.name),
                                                  NetLog::EscapeHtml(record.location), comment};
    return FillRow(m_rowTemplate, values);
}

void CUploadLog::AddRow(const QString& row)
{
    ++m_rowCount;
    if (m_reverse)
        m_rows.prepend(row);
    else
        m_rows.append(row);
}

void CUploadLog::ResetRows()
{
    m_rowCount = 0;
    m_rows.clear();
}

QString CUploadLog::Page() const
{
    const std::array<QString, kPageKeys> values = {
        m_rows.join(QString()),  QString::number(m_rowCount),       NetLog::EscapeHtml(m_date),
        QString::number(m_year), NetLog::EscapeHtml(m_net.netName), NetLog::EscapeHtml(m_net.clubName)};
    return Fill(Compile(m_pageTemplate, kPageKeyText), values);
}

QByteArray CUploadLog::PageBytes() const
{
    return NetLog::ToLatin1WithReferences(Page());
}

// ---------------------------------------------------------------------------------------------------------

namespace NetLog {

QString DateText(const QDate& day)
{
    return QStringLiteral("%1/%2/%3").arg(day.month()).arg(day.day()).arg(day.year());
}

QString DayFilterText(const QDate& day)
{
    return QStringLiteral("Date like '%1*'").arg(DateText(day));
}

QString NoRecordsMessage(const QDate& day)
{
    return QStringLiteral("No Matching Records for %1 to upload...").arg(DayFilterText(day));
}

QString EscapeHtml(const QString& text)
{
    const auto special = [](QChar c) {
        return c == u'&' || c == u'<' || c == u'>' || c == u'"' || c == u'\'';
    };
    if (std::none_of(text.cbegin(), text.cend(), special))
        return text; // most values: shared, not copied
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray ToLatin1WithReferences(const QString& text)
{
    const auto needsReference = [](QChar c) {
        return c.unicode() > 0xFF || (c.unicode() >= 0x80 && c.unicode() < 0xA0);
    };
    if (std::none_of(text.cbegin(), text.cend(), needsReference))
        return text.toLatin1();
    QByteArray out;
    out.reserve(text.size());
    const auto reference = [&out](char32_t code) {
        out += "&#";
        out += QByteArray::number(quint32(code));
        out += ';';
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += char(c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            reference(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            reference(0xFFFD); // half of a pair: no character at all
        } else {
            reference(c);
        }
    }
    return out;
}

std::optional<QByteArray> BuildPage(const std::vector<CCheckinRecord>& dayCheckins, const QDate& day,
                                    bool reverse, const CNetDetails& net)
{
    if (dayCheckins.empty())
        return std::nullopt;
    CUploadLog log;
    log.SetNet(net);
    log.SetReverse(reverse);
    log.SetDate(DateText(day));
    log.SetYear(day.year());
    int n = 0;
    for (const CCheckinRecord& r : dayCheckins)
        log.AddRow(log.MakeRow(++n, r));
    return log.PageBytes();
}

std::optional<QByteArray> BuildPage(CDatabase& log, const QDate& day, bool reverse, const CNetDetails& net)
{
    return BuildPage(LogQueries::DayCheckins(log, day), day, reverse, net);
}

void SavePage(const QString& folder, const QByteArray& page)
{
    CAtomicFile::WriteFile(QDir(folder).filePath(kFileName), page);
}

void ConfigureUpload(CWebRequest& request, const QString& server)
{
    request.SetServer(server);
    request.SetPort(kPort);
    request.SetObjectPath(kScriptPath);
}

CWebResponse UploadPage(CWebRequest& request, const QByteArray& page)
{
    request.SetAnswerBodyNeeded(false);
    return request.Post(page, kContentType);
}

CResult Publish(CDatabase& log, const QDate& day, bool reverse, const QString& folder, CWebRequest& request,
                const CNetDetails& net)
{
    CResult result;
    const std::vector<CCheckinRecord> checkins = LogQueries::DayCheckins(log, day);
    result.rows = int(checkins.size());
    const std::optional<QByteArray> page = BuildPage(checkins, day, reverse, net);
    if (!page) {
        result.message = NoRecordsMessage(day);
        return result;
    }
    try {
        SavePage(folder, *page);
    } catch (const CFileException& e) {
        result.message = e.Message();
        return result;
    }
    result.response = UploadPage(request, *page);
    result.ok = result.response.IsSuccess();
    if (!result.ok)
        result.message = QStringLiteral("Upload failed: %1").arg(result.response.FailureText());
    return result;
}

} // namespace NetLog
