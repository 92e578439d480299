#include "core/app/SecretStore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

// The keyring may ask the user to unlock it; give them time, but not for ever.
constexpr int kKeyringTimeoutMs = 120000;

// Runs a keyring job to its end; false when it did not end in time. For the command line, whose thread
// has nothing else to do meanwhile.
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
    QTimer::singleShot(kKeyringTimeoutMs, &loop, &QEventLoop::quit);
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

CSecretStore::CSecretStore(QString service, QObject* parent) : QObject(parent), m_service(std::move(service))
{
    m_worker.setMaxThreadCount(1);
}

CSecretStore::~CSecretStore()
{
    if (m_writing > 0) {
        // The program is ending: its window is gone, so waiting here holds up nobody.
        QEventLoop loop;
        connect(this, &CSecretStore::writeDone, &loop, [this, &loop] {
            if (m_writing == 0)
                loop.quit();
        });
        QTimer::singleShot(kKeyringTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_worker.waitForDone();
}

QString CSecretStore::MailAccount(const QString& user, const QString& host)
{
    return QStringLiteral("smtp:%1@%2").arg(user, host.toLower());
}

QString CSecretStore::QrzAccount(const QString& user)
{
    return QStringLiteral("qrz:%1").arg(user);
}

QString CSecretStore::KeyringError() const
{
    const std::lock_guard lock(m_lock);
    return m_keyringError;
}

void CSecretStore::KeyringFailed(const QString& why)
{
    const std::lock_guard lock(m_lock);
    m_sessionOnly = true;
    m_keyringError = why;
}

std::optional<QString> CSecretStore::Remembered(const QString& account)
{
    const std::lock_guard lock(m_lock);
    const auto it = m_session.constFind(account);
    if (it == m_session.constEnd())
        return std::nullopt;
    return *it;
}

void CSecretStore::Remember(const QString& account, const QString& password)
{
    const std::lock_guard lock(m_lock);
    m_session.insert(account, password);
}

std::optional<QString> CSecretStore::Read(const QString& account)
{
    if (std::optional<QString> known = Remembered(account))
        return known;
    QKeychain::ReadPasswordJob job(m_service);
    job.setKey(account);
    if (!Run(job)) {
        KeyringFailed(QStringLiteral("the keyring did not answer"));
        return std::nullopt;
    }
    if (job.error() == QKeychain::NoError) {
        const QString value = job.textData();
        Remember(account, value);
        return value;
    }
    if (KeyringMissing(job.error()))
        KeyringFailed(job.errorString());
    return std::nullopt;
}

CSecretStore::Where CSecretStore::Write(const QString& account, const QString& password)
{
    Remember(account, password);
    QKeychain::WritePasswordJob job(m_service);
    job.setKey(account);
    job.setTextData(password);
    if (Run(job) && job.error() == QKeychain::NoError)
        return Where::Keyring;
    KeyringFailed(job.error() == QKeychain::NoError ? QStringLiteral("the keyring did not answer")
                                                    : job.errorString());
    return Where::Session;
}

void CSecretStore::Remove(const QString& account)
{
    {
        const std::lock_guard lock(m_lock);
        m_session.remove(account);
    }
    QKeychain::DeletePasswordJob job(m_service);
    job.setKey(account);
    Run(job);
}

void CSecretStore::WhenBusKnown(std::function<void()> start)
{
    if (m_bus == Bus::Known) {
        start();
        return;
    }
    m_afterBus << std::move(start);
    if (m_bus == Bus::Connecting)
        return;
    m_bus = Bus::Connecting;
    // Connecting to the session bus waits for the bus to answer, which a hung bus never does; the
    // connection is shared by the process, so the keyring's jobs find it made (or failed) afterwards.
    m_worker.start([this] {
        QDBusConnection::sessionBus();
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bus = Bus::Known;
                for (const std::function<void()>& f : std::exchange(m_afterBus, {}))
                    f();
            },
            Qt::QueuedConnection);
    });
}

void CSecretStore::Finished(int)
{
    --m_pending;
}

int CSecretStore::ReadLater(const QString& account)
{
    const int ticket = ++m_nextTicket;
    ++m_pending;
    if (const std::optional<QString> known = Remembered(account)) {
        // Still by signal, as the callers expect.
        QMetaObject::invokeMethod(
            this,
            [this, ticket, account, password = *known] {
                Finished(ticket);
                Q_EMIT readDone(ticket, account, true, password);
            },
            Qt::QueuedConnection);
        return ticket;
    }
    WhenBusKnown([this, ticket, account] {
        auto* job = new QKeychain::ReadPasswordJob(m_service, this);
        job->setAutoDelete(false);
        job->setInsecureFallback(false);
        job->setKey(account);
        auto* timeout = new QTimer(job);
        timeout->setSingleShot(true);
        const auto done = [this, ticket, account, job](bool answered) {
            std::optional<QString> password;
            if (!answered)
                KeyringFailed(QStringLiteral("the keyring did not answer"));
            else if (job->error() == QKeychain::NoError) {
                password = job->textData();
                Remember(account, *password);
            } else if (KeyringMissing(job->error()))
                KeyringFailed(job->errorString());
            job->disconnect(this);
            for (QTimer* t : job->findChildren<QTimer*>())
                t->stop();
            job->deleteLater();
            Finished(ticket);
            Q_EMIT readDone(ticket, account, password.has_value(), password.value_or(QString()));
        };
        connect(job, &QKeychain::Job::finished, this, [done] { done(true); });
        connect(timeout, &QTimer::timeout, this, [done] { done(false); });
        timeout->start(kKeyringTimeoutMs);
        job->start();
    });
    return ticket;
}

int CSecretStore::WriteLater(const QString& account, const QString& password)
{
    // Known at once to this store's readers, whatever the keyring answers.
    Remember(account, password);
    const int ticket = ++m_nextTicket;
    ++m_pending;
    ++m_writing;
    WhenBusKnown([this, ticket, account, password] {
        auto* job = new QKeychain::WritePasswordJob(m_service, this);
        job->setAutoDelete(false);
        job->setInsecureFallback(false);
        job->setKey(account);
        job->setTextData(password);
        auto* timeout = new QTimer(job);
        timeout->setSingleShot(true);
        const auto done = [this, ticket, account, job](bool answered) {
            Where where = Where::Keyring;
            if (!answered || job->error() != QKeychain::NoError) {
                KeyringFailed(answered ? job->errorString() : QStringLiteral("the keyring did not answer"));
                where = Where::Session;
            }
            job->disconnect(this);
            for (QTimer* t : job->findChildren<QTimer*>())
                t->stop();
            job->deleteLater();
            Finished(ticket);
            --m_writing;
            Q_EMIT writeDone(ticket, account, where);
        };
        connect(job, &QKeychain::Job::finished, this, [done] { done(true); });
        connect(timeout, &QTimer::timeout, this, [done] { done(false); });
        timeout->start(kKeyringTimeoutMs);
        job->start();
    });
    return ticket;
}
