#pragma once

#include <QString>
#include <optional>

// Passwords of the program's accounts (the mail server, the QRZ callbook) in the desktop keyring
// (Secret Service or KWallet, through qtkeychain). Where no keyring service runs, a password is kept in
// this process's memory for the session only, and the caller is told so; a password is never written to
// the settings, another file or a log.
//
// The calls wait for the keyring (it may ask the user to unlock it) in a local event loop, so they may be
// made from the window's thread or from a worker.
class CSecretStore
{
public:
    enum class Where
    {
        Keyring,
        Session
    };

    // What a dialog says when a password could only be kept for the session.
    static const QString kSessionOnlyNote;

    // service: the keyring's folder for the program; tests give their own.
    explicit CSecretStore(QString service = QStringLiteral("Logwarden"));

    // The account names the program uses.
    static QString MailAccount(const QString& user, const QString& host);
    static QString QrzAccount(const QString& user);

    // The password, from this session's memory or the keyring; nothing when none is stored.
    std::optional<QString> Read(const QString& account);
    // Keeps the password; where it went.
    Where Write(const QString& account, const QString& password);
    void Remove(const QString& account);

    // True once the keyring could not be reached: passwords then last for this session only.
    bool IsSessionOnly() const { return m_sessionOnly; }
    // Why the keyring could not be used (for a log line or a tooltip).
    const QString& KeyringError() const { return m_keyringError; }

private:
    QString m_service;
    bool m_sessionOnly = false;
    QString m_keyringError;
};
