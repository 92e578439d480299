#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <mutex>
#include <optional>

// A user name and password a web server accepted, with the way that server asked for them.
struct CWebCredential
{
    QString user;
    QString password;
    QByteArray scheme; // "basic" or "digest": what the server asked for
};

// The credentials the operator gave to web servers during this run, each kept for the one server and realm
// that asked: scheme, host and port of the address plus the realm of the server's challenge. Nothing is
// written anywhere. Any thread may use it.
//
// A credential is only ever offered in answer to that server's own 401, and one kept from a Digest
// challenge is never sent as Basic: a server that asked for Digest and now asks for Basic is asked anew.
class CCredentialCache
{
public:
    // "http://host:port" of an address, the port always written out; empty for what is no http(s) URL.
    static QString Origin(const QString& url);

    std::optional<CWebCredential> Find(const QString& url, const QString& realm) const;
    void Keep(const QString& url, const QString& realm, const CWebCredential& credential);
    void Forget(const QString& url, const QString& realm);
    // The user name last accepted by the server of url (any realm), to preset the question.
    QString LastUser(const QString& url) const;

private:
    static QString Key(const QString& origin, const QString& realm);

    mutable std::mutex m_lock;
    QHash<QString, CWebCredential> m_credentials;
    QHash<QString, QString> m_lastUser; // by origin
};
