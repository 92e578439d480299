#include "core/app/SecretStore.h"

#include <QEventLoop>
#include <QHash>
#include <QTimer>
#include <mutex>
#include <qt6keychain/keychain.h>

namespace {

// Passwords that could not go into the keyring, and those read from it, for the rest of the session.
struct CSessionSecrets
{
    std::mutex lock;
    QHash<QString, QString> values;
};

CSessionSecrets& Session()
{
    static CSessionSecrets secrets;
    return secrets;
}

QString SessionKey(const QString& service, const QString& account)
{
    return service + QLatin1Char('\n') + account;
}

// Runs a keyring job to its end; false when it did not end in time.
bool Run(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    // Never the plain-text file qtkeychain can fall back to.
    job.setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    // The keyring may ask the user to unlock it; give them time, but not for ever.
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    job.start();
    if (!finished)
        loop.exec();
    return finished;
}

bool KeyringMissing(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented ||
           error == QKeychain::OtherError || error == QKeychain::AccessDenied ||
           error == QKeychain::AccessDeniedByUser;
}

} // namespace

const QString CSecretStore::kSessionOnlyNote =
    QStringLiteral("No keyring service is running: the password is kept for this session only.");

CSecretStore::CSecretStore(QString service) : m_service(std::move(service)) {}

QString CSecretStore::MailAccount(const QString& user, const QString& host)
{
    return QStringLiteral("smtp:%1@%2").arg(user, host.toLower());
}

QString CSecretStore::QrzAccount(const QString& user)
{
    return QStringLiteral("qrz:%1").arg(user);
}

std::optional<QString> CSecretStore::Read(const QString& account)
{
    {
        CSessionSecrets& session = Session();
        const std::lock_guard lock(session.lock);
        const auto it = session.values.constFind(SessionKey(m_service, account));
        if (it != session.values.constEnd())
            return *it;
    }
    QKeychain::ReadPasswordJob job(m_service);
    job.setKey(account);
    if (!Run(job)) {
        m_sessionOnly = true;
        m_keyringError = QStringLiteral("the keyring did not answer");
        return std::nullopt;
    }
    if (job.error() == QKeychain::NoError) {
        const QString value = job.textData();
        CSessionSecrets& session = Session();
        const std::lock_guard lock(session.lock);
        session.values.insert(SessionKey(m_service, account), value);
        return value;
    }
    if (KeyringMissing(job.error())) {
        m_sessionOnly = true;
        m_keyringError = job.errorString();
    }
    return std::nullopt;
}

CSecretStore::Where CSecretStore::Write(const QString& account, const QString& password)
{
    {
        CSessionSecrets& session = Session();
        const std::lock_guard lock(session.lock);
        session.values.insert(SessionKey(m_service, account), password);
    }
    QKeychain::WritePasswordJob job(m_service);
    job.setKey(account);
    job.setTextData(password);
    if (Run(job) && job.error() == QKeychain::NoError)
        return Where::Keyring;
    m_sessionOnly = true;
    m_keyringError =
        job.error() == QKeychain::NoError ? QStringLiteral("the keyring did not answer") : job.errorString();
    return Where::Session;
}

void CSecretStore::Remove(const QString& account)
{
    {
        CSessionSecrets& session = Session();
        const std::lock_guard lock(session.lock);
        session.values.remove(SessionKey(m_service, account));
    }
    QKeychain::DeletePasswordJob job(m_service);
    job.setKey(account);
    Run(job);
}
