#include "core/fcc/FccDbInfo.h"

#include "core/web/WebRequest.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

// A cell's value: from 6 characters after where "note" begins to the next "</". Plain text only: a
// value holding markup means the positions did not land on the cells expected.
std::optional<QString> NoteValue(const QString& page, qsizetype from, qsizetype& next)
{
    const qsizetype note = page.indexOf(QLatin1String("note"), from);
    if (note < 0)
        return std::nullopt;
    const qsizetype start = note + 6;
    const qsizetype end = page.indexOf(QLatin1String("</"), start);
    if (start > page.size() || end < 0)
        return std::nullopt;
    // "note" must close its tag right there: class="note">value</td>.
    const QStringView opener = QStringView(page).mid(note + 4, 2);
    if (opener != QLatin1String("\">") && opener != QLatin1String("'>"))
        return std::nullopt;
    const QString value =
        page.mid(start, end - start).replace(QLatin1String("&nbsp;"), QLatin1String(" ")).trimmed();
    if (value.isEmpty() || value.size() > 40)
        return std::nullopt;
    for (const QChar c : value) {
        if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('"') ||
            c == QLatin1Char('=') || c == QLatin1Char('&') || c.category() == QChar::Other_Control)
            return std::nullopt;
    }
    next = start;
    return value;
}

} // namespace

CFCCDbInfo::CFCCDbInfo()
    : m_strAvailable(Unknown()), m_strCurrent(Unknown()),
      m_strCurrentLabel(QStringLiteral("Current FCC Database: ")),
      m_strAvailableLabel(QStringLiteral("Available FCC Database: "))
{
}

CFCCDbInfo::~CFCCDbInfo() = default;

QString CFCCDbInfo::Unknown()
{
    return QStringLiteral("Unknown");
}

QString CFCCDbInfo::FccTitle()
{
    return QStringLiteral("FCC Database Dialog");
}

QString CFCCDbInfo::FccButton()
{
    return QStringLiteral("Check FCC Website");
}

void CFCCDbInfo::SetQrzForm()
{
    m_bFccForm = false;
    m_strTitle = QStringLiteral("QRZ Database Dialog");
    m_strCurrentLabel = QStringLiteral("Current QRZ Database: ");
    m_strAvailableLabel = QStringLiteral("Available QRZ Database: ");
    m_strButton = QStringLiteral("Check QRZ Website");
}

void CFCCDbInfo::OnInitDialog()
{
    if (!m_bFccForm && m_strTitle.contains(QLatin1String("QRZ")))
        m_bQrz = true;
}

QString CFCCDbInfo::WindowTitle() const
{
    return m_bFccForm ? FccTitle() : m_strTitle;
}

QString CFCCDbInfo::ButtonCaption() const
{
    return m_bQrz ? m_strButton : FccButton();
}

QString CFCCDbInfo::WeeklyPageUrl(const QString& ulsHost)
{
    const QString base = HttpBaseUrl(ulsHost);
    return base.isEmpty() ? QString() : base + QStringLiteral("/uls/index.htm?job=transaction&page=weekly");
}

std::optional<QString> CFCCDbInfo::AvailableText(const QByteArray& bytes, QString* why)
{
    const QString page = QString::fromUtf8(bytes);
    const qsizetype archive = page.indexOf(QLatin1String("l_amat.zip"));
    if (archive < 0) {
        if (why)
            *why = QStringLiteral("The FCC's page does not list l_amat.zip.");
        return std::nullopt;
    }
    qsizetype next = archive;
    const std::optional<QString> first = NoteValue(page, archive, next);
    const std::optional<QString> second = first ? NoteValue(page, next, next) : std::nullopt;
    if (!second) {
        if (why)
            *why = QStringLiteral("The FCC's page lists l_amat.zip without the expected \"note\" cells.");
        return std::nullopt;
    }
    return QStringLiteral("%1 at %2").arg(*second, *first);
}

QString CFCCDbInfo::CurrentText(const QString& archivePath, QString* why)
{
    const QFileInfo info(archivePath);
    if (!info.isFile()) {
        if (why)
            *why = QStringLiteral("There is no %1 in %2.").arg(info.fileName(), info.absolutePath());
        return Unknown();
    }
    const QDate date = info.lastModified().toLocalTime().date();
    return QStringLiteral("%1/%2/%3 at %4 MB")
        .arg(date.isValid() ? date.month() : 0)
        .arg(date.isValid() ? date.day() : 0)
        .arg(date.isValid() ? date.year() : 0)
        .arg(info.size() / 1000000);
}

CFCCDbInfo::CFccCheck CFCCDbInfo::CheckFccWebsite(CWebRequest& http, const QString& ulsHost,
                                                  const QString& archivePath)
{
    CFccCheck check;
    const QString url = WeeklyPageUrl(ulsHost);
    if (url.isEmpty()) {
        check.availableWhy =
            QStringLiteral("The FCC ULS host \"%1\" is not an https:// (or http://) address.").arg(ulsHost);
    } else {
        const CWebResponse reply = http.GetUrl(url);
        if (!reply.Answered())
            check.availableWhy = QStringLiteral("The FCC's page cannot be read: %1").arg(reply.Message());
        else
            check.available = AvailableText(reply.Body(), &check.availableWhy);
    }
    check.current = CurrentText(archivePath, &check.currentWhy);
    return check;
}

void CFCCDbInfo::Apply(const CFccCheck& check)
{
    if (check.available)
        m_strAvailable = *check.available;
    m_strCurrent = check.current;
    QStringList reasons;
    if (!check.availableWhy.isEmpty())
        reasons << check.availableWhy;
    if (!check.currentWhy.isEmpty())
        reasons << check.currentWhy;
    m_strReason = reasons.join(QLatin1Char('\n'));
}
