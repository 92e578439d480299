#pragma once

#include "core/qrz/QrzReply.h"

#include <QByteArray>
#include <QString>

class CWebRequest;

// The account of the QRZ XML callbook. The host and the user name are settings (QrzAccount/XmlHost,
// QrzAccount/UserName); the password comes from the desktop keyring and is never written to a file.
struct CQRZAccount
{
    QString host; // "https://xmldata.qrz.com"; a host without a scheme is reached over HTTPS
    QString userName;
    QString password;

    bool operator==(const CQRZAccount&) const = default;
};

// Looks a call sign up in the QRZ XML callbook.
//
// The session key is kept in the object and in QrzSessionKey.xml (the last login reply, as received),
// so that a new run logs in only when it has no key. A key belongs to the host and user name that logged
// in (kept beside it in QrzSessionKey.account) and is never sent to another host or for another user. A query
// whose reply says the key is no good
// ("Session Timeout", "Invalid session key", "XML access is not autho...") logs in once anew and asks
// once more. Every reply is kept in QrzCallData.xml. Both files live in the folder given (the data
// folder) and are readable by their owner only.
//
// The login goes over HTTPS unless the host says "http://" explicitly; the user name and password are
// percent-encoded in it. Not thread-safe: one thread at a time (CQRZLookupWorker runs all look-ups of
// the window on one thread).
class CQRZQuery
{
public:
    enum class Failure
    {
        None,
        NoAccount,    // a login is needed and the user name or the password is missing: ask for them
        LoginRefused, // QRZ refused the login with its own <Error> ("Username/password incorrect"): ask again
        BadHost,      // the host setting is no http(s) address
        NoCallSign,   // nothing to look up
        Network,      // no reply (no connection, time-out)
        Service,      // QRZ answered with an error instead of a record ("Not found: N0CALL"), or the service
                      // failed (a login answered by an error page, an empty or non-XML reply, no key)
        BadReply,     // the reply is not the XML expected
        File,         // QrzSessionKey.xml or QrzCallData.xml cannot be written
    };

    static constexpr const char* kSessionKeyFile = "QrzSessionKey.xml";
    // The host and user name the key in kSessionKeyFile belongs to, one per line.
    static constexpr const char* kSessionOwnerFile = "QrzSessionKey.account";
    static constexpr const char* kCallDataFile = "QrzCallData.xml";
    // The agent tag sent with the login.
    static constexpr const char* kAgent = "n0call.0";

    CQRZQuery(CWebRequest& http, QString folder);
    virtual ~CQRZQuery();
    CQRZQuery(const CQRZQuery&) = delete;
    CQRZQuery& operator=(const CQRZQuery&) = delete;

    // A change of host or user name drops the session key (in memory and its file): it belongs to the
    // previous account.
    void SetAccount(const CQRZAccount& account);
    // Forgets the session key, in memory and its file (the account was changed).
    void DropSession();
    const CQRZAccount& GetAccount() const { return m_account; }
    // The home grid and unit of the distance (StorageSettings/GridSquare and MeasurementUnit).
    void SetHomeGrid(const QString& grid, const QString& unit);

    // Looks the call sign up. True when QRZ sent a record of it: GetData() then holds its values. False
    // otherwise, with GetFailure() and GetLastError() telling why; GetData() keeps what it held.
    bool Query(const QString& callSign);

    const CQRZCallData& GetData() const { return m_data; }
    Failure GetFailure() const { return m_failure; }
    // QRZ's own error text for Failure::Service, otherwise a sentence for the operator.
    const QString& GetLastError() const { return m_strError; }
    const QString& GetSessionKey() const { return m_strKey; }
    // The last reply received.
    const QByteArray& GetReply() const { return m_reply; }

    // The three requests, sent to HttpBaseUrl(host) + "/" + object; the values are percent-encoded.
    static QString LoginObject(const QString& userName, const QString& password);
    static QString QueryObject(const QString& key, const QString& callSign);
    static QString RetryObject(const QString& key, const QString& callSign);

private:
    bool Fail(Failure failure, const QString& text);
    bool Login(const QString& base);
    QString KeyFromFile() const;
    // What the owner file says of the account: "host\nuser\n".
    QByteArray OwnerText() const;
    void WriteFile(const char* name, const QByteArray& bytes);

    CWebRequest& m_http;
    QString m_strFolder;
    CQRZAccount m_account;
    bool m_accountSet = false;
    QString m_strHomeGrid;
    QString m_strUnit = QStringLiteral("miles");
    QString m_strKey;
    QByteArray m_keyOwner; // OwnerText() of the account m_strKey was given to
    QByteArray m_reply;
    CQRZCallData m_data;
    Failure m_failure = Failure::None;
    QString m_strError;
};
