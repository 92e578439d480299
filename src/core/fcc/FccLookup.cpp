#include "core/fcc/FccLookup.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/fcc/FccCallInfoSet.h"
#include "core/fcc/FccDbSet.h"
#include "core/fcc/FccFilter.h"
#include "core/fcc/FccHdSet.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <SQLiteCpp/Database.h>
#include <algorithm>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

QString StripLeadingSpace(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    return text.mid(i);
}

QString HttpBase(const QString& host)
{
    QString base = host.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (!base.contains(QLatin1String("://")))
        base.prepend(QLatin1String("http://"));
    return base;
}

// "90013" stays as it is, "900137999" is written 90013-7999.
QString ZipText(const QString& zip)
{
    if (zip.size() == 9 && std::all_of(zip.begin(), zip.end(), [](QChar c) { return c.isDigit(); }))
        return zip.left(5) + QLatin1Char('-') + zip.mid(5);
    return zip;
}

// ULS dates are "MM/DD/YYYY".
QDate UlsDate(const QString& text)
{
    return QDate::fromString(text.trimmed(), QStringLiteral("MM/dd/yyyy"));
}

struct CLicence
{
    qint32 id = 0;
    QString status;
    QDate granted;
    QDate expired;
    QDate cancelled;
};

// Whether licence a ranks before b: the active one first, then the latest grant (a licence without a grant
// date last), then the highest identifier. The order depends on the rows alone, never on where they stand
// in the table, so a database kept current by daily files shows what one rebuilt from the weekly shows.
bool RanksBefore(const CLicence& a, const CLicence& b)
{
    const bool activeA = a.status == QLatin1String("A");
    const bool activeB = b.status == QLatin1String("A");
    if (activeA != activeB)
        return activeA;
    if (a.granted != b.granted)
        return a.granted > b.granted; // an invalid date is before every valid one
    return a.id > b.id;
}

// The licence of the call sign to show.
std::optional<CLicence> ChooseLicence(CDatabase& db, const QString& callSign)
{
    CFCCHDSet hd(&db);
    hd.SetFilter(FccFilter::CallSignEquals(callSign));
    hd.SetSort(QStringLiteral("UniqueSystemIdentifier DESC"));
    hd.Open();
    std::optional<CLicence> chosen;
    for (; !hd.IsEOF(); hd.MoveNext()) {
        if (hd.m_CallSign != callSign)
            continue;
        const CLicence l{hd.m_UniqueSystemIdentifier, hd.m_LicenseStatus.trimmed(), UlsDate(hd.m_GrantDate),
                         UlsDate(hd.m_ExpiredDate), UlsDate(hd.m_CancellationDate)};
        if (!chosen || RanksBefore(l, *chosen))
            chosen = l;
    }
    return chosen;
}

} // namespace

QString FccDatabasePath(const CSettings& settings)
{
    return settings.Get(Setting::FccOutputFile);
}

void RequireFccDatabase(const QString& fccDbPath)
{
    if (!QFileInfo(fccDbPath).isFile()) {
        throw CDBException(QStringLiteral("The FCC licence database \"%1\" does not exist. Build it with "
                                          "\"Compile\" on the FCC DB bar.")
                               .arg(fccDbPath));
    }
}

QString CFccLookupResult::StatusText() const
{
    switch (status) {
    case Status::Expired:
        return QStringLiteral("Licence expired on %1").arg(statusDate.toString(Qt::ISODate));
    case Status::Cancelled:
        return QStringLiteral("Licence cancelled on %1").arg(statusDate.toString(Qt::ISODate));
    case Status::Other:
        return QStringLiteral("Licence status %1").arg(statusCode);
    case Status::Active:
    case Status::Unknown:
        break;
    }
    return {};
}

QString CFccLookupResult::StatusLine() const
{
    switch (status) {
    case Status::Active:
        return QStringLiteral("Active");
    case Status::Expired:
        return QStringLiteral("Expired on %1").arg(statusDate.toString(Qt::ISODate));
    case Status::Cancelled:
        return QStringLiteral("Cancelled on %1").arg(statusDate.toString(Qt::ISODate));
    case Status::Other:
        return statusCode;
    case Status::Unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

CFccLookupResult FccLookUp(CDatabase& fccDb, const QString& callSign)
{
    CFccLookupResult result;
    result.callSign = callSign;
    if (callSign.isEmpty())
        return result;

    const std::optional<CLicence> licence = ChooseLicence(fccDb, callSign);
    if (licence) {
        result.found = true;
        result.uniqueSystemIdentifier = licence->id;
        result.statusCode = licence->status;
        if (licence->status == QLatin1String("A")) {
            result.status = CFccLookupResult::Status::Active;
        } else if (licence->status == QLatin1String("E")) {
            result.status = CFccLookupResult::Status::Expired;
            result.statusDate = licence->expired;
        } else if (licence->status == QLatin1String("C") || licence->status == QLatin1String("T")) {
            result.status = CFccLookupResult::Status::Cancelled;
            result.statusDate = licence->cancelled.isValid() ? licence->cancelled : licence->expired;
        } else {
            result.status = CFccLookupResult::Status::Other;
        }
    }

    // The licensee of that licence; without a licence header, the last row of the call in the weekly's
    // order (by identifier, then as the rows came), which daily files keep.
    CFCCDbSet en(&fccDb);
    en.SetFilter(licence ? FccFilter::CallSignAndIdentifierEqual(callSign, licence->id)
                         : FccFilter::CallSignEquals(callSign));
    en.SetSort(QStringLiteral("UniqueSystemIdentifier, rowid"));
    en.Open();
    for (; !en.IsEOF(); en.MoveNext()) {
        if (en.m_CallSign.isEmpty() || en.m_CallSign != callSign)
            continue;
        result.found = true;
        result.name = en.m_EntityName;
        const QString street = StripLeadingSpace(en.m_StreetAddress);
        const QString box = en.m_POBox.trimmed();
        result.addr1 = !street.isEmpty() ? street
                       : box.isEmpty()   ? QString()
                                         : QStringLiteral("P.O. Box ") + box;
        const bool noPlace = en.m_City.trimmed().isEmpty() && en.m_State.trimmed().isEmpty() &&
                             en.m_ZipCode.trimmed().isEmpty();
        result.addr2 = noPlace
                           ? QString()
                           : QStringLiteral("%1, %2 %3").arg(en.m_City, en.m_State, ZipText(en.m_ZipCode));
        result.uniqueSystemIdentifier = en.m_UniqueSystemIdentifier;
    }
    en.Close();
    if (!result.found)
        return result;

    CCallInfoSet am(&fccDb);
    am.SetFilter(FccFilter::UniqueSystemIdentifierEquals(result.uniqueSystemIdentifier));
    am.Open();
    for (; !am.IsEOF(); am.MoveNext()) {
        if (!am.m_CallSign.isEmpty() && am.m_CallSign == callSign)
            result.operatorClass = am.m_OperatorClass;
    }
    return result;
}

std::optional<qint32> FccLicenceKey(CDatabase& fccDb, const QString& callPattern)
{
    CFCCHDSet hd(&fccDb);
    hd.SetFilter(FccFilter::CallSignLike(callPattern));
    hd.SetSort(FccSort::kCallSignDesc);
    hd.Open();
    if (hd.IsEOF())
        return std::nullopt;
    // Of the licences of the highest matching call sign, the one the look-up shows.
    const QString call = hd.m_CallSign;
    if (const std::optional<CLicence> licence = ChooseLicence(fccDb, call))
        return licence->id;
    return hd.m_UniqueSystemIdentifier;
}

CFccDatabase::CFccDatabase() = default;
CFccDatabase::~CFccDatabase() = default;

CDatabase& CFccDatabase::Connection(const QString& path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_db.reset();
        RequireFccDatabase(path);
    }
    if (!m_db || path != m_path || st.st_dev != m_device || st.st_ino != m_inode) {
        m_db.reset();
        m_db = std::make_unique<CDatabase>(path, CDatabase::ReadOnly);
        // A reader never checkpoints the write-ahead log of a daily update nor removes it on closing: the
        // file it read may have been replaced by a new build meanwhile, whose log has the same name.
        sqlite3_db_config(m_db->Handle().getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        m_path = path;
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
    return *m_db;
}

template <class F> auto CFccDatabase::With(const QString& path, F&& f)
{
    try {
        return f(Connection(path));
    } catch (...) {
        // After a failure the next look-up starts from a fresh connection.
        m_db.reset();
        throw;
    }
}

CFccLookupResult CFccDatabase::LookUp(const QString& path, const QString& callSign)
{
    return With(path, [&](CDatabase& db) { return FccLookUp(db, callSign); });
}

std::optional<qint32> CFccDatabase::LicenceKey(const QString& path, const QString& callPattern)
{
    return With(path, [&](CDatabase& db) { return FccLicenceKey(db, callPattern); });
}

QString FccLicenceUrl(const QString& host, qint32 licenceKey)
{
    return HttpBase(host) + QStringLiteral("/UlsApp/UlsSearch/license.jsp?licKey=%1").arg(licenceKey);
}

QString QrzPageUrl(const QString& host, const QString& callSign)
{
    return HttpBase(host) + QStringLiteral("/db/") + QString::fromLatin1(QUrl::toPercentEncoding(callSign));
}
