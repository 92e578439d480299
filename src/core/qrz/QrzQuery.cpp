#include "core/qrz/QrzQuery.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/log/GridDistance.h"
#include "core/web/WebRequest.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <sys/stat.h>

namespace {

QString Encoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

CQRZQuery::CQRZQuery(CWebRequest& http, QString folder) : m_http(http), m_strFolder(std::move(folder)) {}

CQRZQuery::~CQRZQuery() = default;

QString CQRZQuery::LoginObject(const QString& userName, const QString& password)
{
    return QStringLiteral("bin/xml/?username=%1;password=%2;agent=%3")
        .arg(Encoded(userName), Encoded(password), QLatin1String(kAgent));
}

QString CQRZQuery::QueryObject(const QString& key, const QString& callSign)
{
    return QStringLiteral("xml/current/?s=%1;callsign=%2").arg(Encoded(key), Encoded(callSign));
}

QString CQRZQuery::RetryObject(const QString& key, const QString& callSign)
{
    return QStringLiteral("bin/xml?s=%1;callsign=%2").arg(Encoded(key), Encoded(callSign));
}

void CQRZQuery::SetAccount(const CQRZAccount& account)
{
    if (m_accountSet && (account.host != m_account.host || account.userName != m_account.userName))
        DropSession();
    m_account = account;
    m_accountSet = true;
}

void CQRZQuery::DropSession()
{
    m_strKey.clear();
    m_keyOwner.clear();
    QFile::remove(QDir(m_strFolder).filePath(QLatin1String(kSessionOwnerFile)));
    QFile::remove(QDir(m_strFolder).filePath(QLatin1String(kSessionKeyFile)));
}

QByteArray CQRZQuery::OwnerText() const
{
    return (HttpBaseUrl(m_account.host) + QLatin1Char('\n') + m_account.userName + QLatin1Char('\n'))
        .toUtf8();
}

void CQRZQuery::SetHomeGrid(const QString& grid, const QString& unit)
{
    m_strHomeGrid = grid;
    m_strUnit = unit;
}

bool CQRZQuery::Fail(Failure failure, const QString& text)
{
    m_failure = failure;
    m_strError = text;
    return false;
}

void CQRZQuery::WriteFile(const char* name, const QByteArray& bytes)
{
    // The session key opens the account's subscription: the files are the owner's alone.
    CAtomicFile file(QDir(m_strFolder).filePath(QLatin1String(name)));
    ::fchmod(file.Fd(), S_IRUSR | S_IWUSR);
    file.Write(bytes);
    file.Commit();
}

QString CQRZQuery::KeyFromFile() const
{
    // A key of another host or user (an older run, another account) stays unused.
    QFile owner(QDir(m_strFolder).filePath(QLatin1String(kSessionOwnerFile)));
    if (!owner.open(QIODevice::ReadOnly) || owner.read(64 * 1024) != OwnerText())
        return {};
    QFile file(QDir(m_strFolder).filePath(QLatin1String(kSessionKeyFile)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const CQRZReply reply = ParseQrzReply(file.read(1024 * 1024));
    return reply.wellFormed ? reply.key : QString();
}

bool CQRZQuery::Login(const QString& base)
{
    if (m_account.userName.isEmpty() || m_account.password.isEmpty())
        return Fail(Failure::NoAccount, QStringLiteral("The QRZ account needs a user name and a password."));
    const CWebResponse reply =
        m_http.GetUrl(base + QLatin1Char('/') + LoginObject(m_account.userName, m_account.password));
    if (!reply.Answered())
        return Fail(Failure::Network, QStringLiteral("QRZ cannot be reached: %1").arg(reply.Message()));
    m_reply = reply.Body();
    const QByteArray owner = OwnerText();
    if (!reply.Body().isEmpty()) {
        try {
            // The owner goes first and comes back last: a key is never left beside another account's name.
            QFile::remove(QDir(m_strFolder).filePath(QLatin1String(kSessionOwnerFile)));
            WriteFile(kSessionKeyFile, reply.Body());
        } catch (const CFileException& e) {
            return Fail(Failure::File, e.Message());
        }
    }
    const CQRZReply parsed = ParseQrzReply(reply.Body());
    if (parsed.wellFormed && !parsed.key.isEmpty()) {
        m_strKey = parsed.key;
        m_keyOwner = owner;
        try {
            WriteFile(kSessionOwnerFile, owner);
        } catch (const CFileException&) {
            // Without its owner the key is only not reused by the next run.
        }
        return true;
    }
    // Only QRZ's own error refuses the account; anything else is the service failing, and asking the
    // operator for the password again would not mend it.
    if (parsed.wellFormed && !parsed.error.isEmpty())
        return Fail(Failure::LoginRefused, parsed.error);
    const QString status =
        reply.StatusText().isEmpty() ? QString::number(reply.Status()) : reply.StatusText();
    QString what;
    if (reply.Body().trimmed().isEmpty())
        what = QStringLiteral("an empty reply");
    else if (!parsed.wellFormed)
        what = QStringLiteral("a reply that is not XML");
    else
        what = QStringLiteral("a reply without a session key");
    return Fail(Failure::Service,
                QStringLiteral("The QRZ service failed: HTTP status %1, %2.").arg(status, what));
}

bool CQRZQuery::Query(const QString& callSign)
{
    m_failure = Failure::None;
    m_strError.clear();
    const QString base = HttpBaseUrl(m_account.host);
    if (base.isEmpty())
        return Fail(Failure::BadHost,
                    QStringLiteral("The QRZ host \"%1\" is not an https:// (or http://) address.")
                        .arg(m_account.host));
    const QString call = callSign.trimmed();
    if (call.isEmpty())
        return Fail(Failure::NoCallSign, QStringLiteral("There is no call sign to look up."));

    // A key is used only for the host and user it was given to.
    if (!m_strKey.isEmpty() && m_keyOwner != OwnerText()) {
        m_strKey.clear();
        m_keyOwner.clear();
    }
    if (m_strKey.isEmpty()) {
        m_strKey = KeyFromFile();
        if (!m_strKey.isEmpty())
            m_keyOwner = OwnerText();
    }
    if (m_strKey.isEmpty() && !Login(base))
        return false;

    CWebResponse reply = m_http.GetUrl(base + QLatin1Char('/') + QueryObject(m_strKey, call));
    if (!reply.Answered())
        return Fail(Failure::Network, QStringLiteral("QRZ cannot be reached: %1").arg(reply.Message()));
    CQRZReply parsed = ParseQrzReply(reply.Body());
    if (IsQrzSessionError(parsed, reply.Body())) {
        // One new login and one more question; a second refusal is reported as it stands.
        if (!Login(base))
            return false;
        reply = m_http.GetUrl(base + QLatin1Char('/') + RetryObject(m_strKey, call));
        if (!reply.Answered())
            return Fail(Failure::Network, QStringLiteral("QRZ cannot be reached: %1").arg(reply.Message()));
        parsed = ParseQrzReply(reply.Body());
    }
    m_reply = reply.Body();
    if (reply.Body().isEmpty())
        return Fail(Failure::BadReply,
                    QStringLiteral("QRZ sent an empty reply (HTTP status %1).").arg(reply.Status()));
    try {
        WriteFile(kCallDataFile, reply.Body());
    } catch (const CFileException& e) {
        return Fail(Failure::File, e.Message());
    }
    if (!parsed.wellFormed)
        return Fail(Failure::BadReply, QStringLiteral("QRZ's reply is not XML (HTTP status %1): %2")
                                           .arg(reply.Status())
                                           .arg(parsed.xmlError));
    if (!parsed.hasRecord) {
        if (!parsed.error.isEmpty())
            return Fail(Failure::Service, parsed.error);
        return Fail(Failure::BadReply, QStringLiteral("QRZ's reply holds no record of %1.").arg(call));
    }
    m_data = parsed.data;
    m_data.distance =
        m_data.grid.isEmpty()
            ? QString()
            : GridDistance::DistanceText(m_strHomeGrid, m_data.grid, m_strUnit, GridDistance::kCallbookPi);
    return true;
}
