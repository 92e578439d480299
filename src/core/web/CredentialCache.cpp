#include "core/web/CredentialCache.h"

#include <QUrl>

QString CCredentialCache::Origin(const QString& url)
{
    const QUrl u(url);
    const QString scheme = u.scheme().toLower();
    if (!u.isValid() || u.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    const int port = u.port(scheme == QLatin1String("https") ? 443 : 80);
    return QStringLiteral("%1://%2:%3").arg(scheme, u.host().toLower()).arg(port);
}

QString CCredentialCache::Key(const QString& origin, const QString& realm)
{
    // The realm is the server's text, compared as it stands; a NUL cannot stand in either part.
    return origin + QChar(0) + realm;
}

std::optional<CWebCredential> CCredentialCache::Find(const QString& url, const QString& realm) const
{
    const QString origin = Origin(url);
    if (origin.isEmpty())
        return std::nullopt;
    std::lock_guard lock(m_lock);
    const auto it = m_credentials.constFind(Key(origin, realm));
    if (it == m_credentials.constEnd())
        return std::nullopt;
    return *it;
}

void CCredentialCache::Keep(const QString& url, const QString& realm, const CWebCredential& credential)
{
    const QString origin = Origin(url);
    if (origin.isEmpty())
        return;
    std::lock_guard lock(m_lock);
    m_credentials.insert(Key(origin, realm), credential);
    m_lastUser.insert(origin, credential.user);
}

void CCredentialCache::Forget(const QString& url, const QString& realm)
{
    const QString origin = Origin(url);
    std::lock_guard lock(m_lock);
    m_credentials.remove(Key(origin, realm));
}

QString CCredentialCache::LastUser(const QString& url) const
{
    const QString origin = Origin(url);
    std::lock_guard lock(m_lock);
    return m_lastUser.value(origin);
}
