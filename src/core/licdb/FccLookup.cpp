#include "core/licdb/FccLookup.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/licdb/CallInfoSet.h"
#include "core/licdb/FCCDbSet.h"
#include "core/licdb/FCCHDSet.h"
#include "core/licdb/FccFilter.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <memory>
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

// The look-ups of one thread share a read-only connection to the database, which saves opening the file
// and reading its schema each time (half the time of a look-up). It is opened anew when the path names
// another file, as it does once a build has renamed a new database over the old one; changes made to the
// file itself SQLite notices on its own.
class CConnectionCache
{
public:
    CDatabase& Get(const QString& path)
    {
        struct stat st = {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
            m_db.reset();
            RequireFccDatabase(path);
        }
        if (!m_db || path != m_path || st.st_dev != m_device || st.st_ino != m_inode) {
            m_db.reset();
            m_db = std::make_unique<CDatabase>(path, CDatabase::ReadOnly);
            m_path = path;
            m_device = st.st_dev;
            m_inode = st.st_ino;
        }
        return *m_db;
    }
    // After a failure the next look-up starts from a fresh connection.
    void Drop() { m_db.reset(); }

private:
    std::unique_ptr<CDatabase> m_db;
    QString m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

thread_local CConnectionCache t_connections;

template <class F> auto WithConnection(const QString& path, F&& f)
{
    try {
        return f(t_connections.Get(path));
    } catch (...) {
        t_connections.Drop();
        throw;
    }
}

} // namespace

QString FccDatabasePath(const CSettings& settings)
{
    return settings.GetString(Setting::FccOutputFile);
}

void RequireFccDatabase(const QString& fccDbPath)
{
    if (!QFileInfo(fccDbPath).isFile()) {
        throw CDBException(QStringLiteral("The FCC licence database \"%1\" does not exist. Build it with "
                                          "\"Compile\" on the FCC DB bar.")
                               .arg(fccDbPath));
    }
}

CFccLookupResult FccLookUp(CDatabase& fccDb, const QString& callSign)
{
    CFccLookupResult result;
    result.callSign = callSign;

    CFCCDbSet en(&fccDb);
    en.SetFilter(FccFilter::CallSignEquals(callSign));
    en.SetSort(QStringLiteral("rowid")); // file order, so the newest licence comes last
    en.Open();
    if (!en.IsEOF() && !en.IsBOF()) {
        for (en.MoveFirst(); !en.IsEOF(); en.MoveNext()) {
            if (en.m_CallSign.isEmpty() || en.m_CallSign != callSign)
                continue;
            result.found = true;
            result.callSign = en.m_CallSign;
            result.name = en.m_EntityName;
            const QString street = StripLeadingSpace(en.m_StreetAddress);
            result.addr1 = street.isEmpty() ? QStringLiteral("P.O. Box ") + en.m_POBox : street;
            result.addr2 = QStringLiteral("%1, %2 %3").arg(en.m_City, en.m_State, en.m_ZipCode);
            result.uniqueSystemIdentifier = en.m_UniqueSystemIdentifier;
        }
    }
    en.Close();
    if (!result.found)
        return result;

    CCallInfoSet am(&fccDb);
    am.SetFilter(FccFilter::UniqueSystemIdentifierEquals(result.uniqueSystemIdentifier));
    am.Open();
    if (!am.IsEOF() && !am.IsBOF()) {
        for (am.MoveFirst(); !am.IsEOF(); am.MoveNext()) {
            if (!am.m_CallSign.isEmpty() && am.m_CallSign == callSign)
                result.operatorClass = am.m_OperatorClass;
        }
    }
    return result;
}

CFccLookupResult FccLookUp(const QString& fccDbPath, const QString& callSign)
{
    return WithConnection(fccDbPath, [&](CDatabase& db) { return FccLookUp(db, callSign); });
}

std::optional<qint32> FccLicenceKey(CDatabase& fccDb, const QString& callPattern)
{
    CFCCHDSet hd(&fccDb);
    hd.SetFilter(FccFilter::CallSignLike(callPattern));
    hd.SetSort(FccSort::kCallSignDesc);
    hd.Open();
    if (hd.IsEOF())
        return std::nullopt;
    return hd.m_UniqueSystemIdentifier;
}

std::optional<qint32> FccLicenceKey(const QString& fccDbPath, const QString& callPattern)
{
    return WithConnection(fccDbPath, [&](CDatabase& db) { return FccLicenceKey(db, callPattern); });
}

QString FccLicenceUrl(const QString& host, qint32 licenceKey)
{
    return HttpBase(host) + QStringLiteral("/UlsApp/UlsSearch/license.jsp?licKey=%1").arg(licenceKey);
}

QString QrzPageUrl(const QString& host, const QString& callSign)
{
    return HttpBase(host) + QStringLiteral("/db/") + QString::fromLatin1(QUrl::toPercentEncoding(callSign));
}
