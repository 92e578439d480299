#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

// Passwords of the program's accounts (the mail server, the QRZ callbook) in the desktop keyring
// (Secret Service or KWallet, through qtkeychain). Where no keyring service runs, a password is kept in
// this store's memory for the session only, and the caller is told so; a password is never written to
// the settings, another file or a log. The program makes one store and hands it to whoever needs it.
//
// A keyring may take long to answer (it may ask the user to unlock it, its bus may hang), so the window
// asks through ReadLater/WriteLater: the answer comes back by signal, in the order asked, while the
// window's loop runs on; the connection to the session bus, which can block, is made on a worker first.
// Read, Write and Remove wait for the answer: for the command line, never for the window's thread.
class CSecretStore : public QObject
{
    Q_OBJECT
public:
    enum class Where
    {
        Keyring,
        Session
    };
    Q_ENUM(Where)

    // What a dialog says when a password could only be kept for the session.
    static const QString kSessionOnlyNote;

    // service: the keyring's folder for the program; tests give their own.
    explicit CSecretStore(QString service = QStringLiteral("Logwarden"), QObject* parent = nullptr);
    // Waits for writes still running (up to the keyring's time-out): a password is not lost at the end.
    ~CSecretStore() override;

    // The account names the program uses.
    static QString MailAccount(const QString& user, const QString& host);
    static QString QrzAccount(const QString& user);

    // The password, from this session's memory or the keyring; nothing when none is stored.
    std::optional<QString> Read(const QString& account);
    // Keeps the password; where it went.
    Where Write(const QString& account, const QString& password);
    void Remove(const QString& account);

    // The same without waiting; each returns a ticket that its answer (readDone, writeDone) carries.
    int ReadLater(const QString& account);
    int WriteLater(const QString& account, const QString& password);
    // A request is queued or running.
    bool IsBusy() const { return m_pending > 0; }

    // True once the keyring could not be reached: passwords then last for this session only.
    bool IsSessionOnly() const { return m_sessionOnly; }
    // Why the keyring could not be used (for a log line or a tooltip).
    QString KeyringError() const;

Q_SIGNALS:
    // found: a password is stored (it may be empty).
    void readDone(int ticket, const QString& account, bool found, const QString& password);
    void writeDone(int ticket, const QString& account, CSecretStore::Where where);

private:
    // Runs start once the session bus is connected (or known to be missing).
    void WhenBusKnown(std::function<void()> start);
    void Finished(int ticket);
    void KeyringFailed(const QString& why);
    std::optional<QString> Remembered(const QString& account);
    void Remember(const QString& account, const QString& password);

    QString m_service;
    // Passwords that could not go into the keyring, and those read from it, for the rest of the session.
    mutable std::mutex m_lock;
    QHash<QString, QString> m_session;
    QString m_keyringError;
    std::atomic<bool> m_sessionOnly{false};
    int m_nextTicket = 0;
    int m_pending = 0; // this object's thread only
    int m_writing = 0;
    enum class Bus
    {
        Unknown,
        Connecting,
        Known
    } m_bus = Bus::Unknown;
    QList<std::function<void()>> m_afterBus;
    QThreadPool m_worker;
};
