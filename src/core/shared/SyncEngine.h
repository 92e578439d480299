#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CCheckinStore;
class CDatabase;
struct CSharedCheckin;
struct CSyncSink;

// Where and as whom a log is shared.
struct CSharedLogOptions
{
    QString conninfo; // libpq's connection string or URI
    QString password; // from the keyring; empty: the string's, ~/.pgpass's or none
    QString net;      // the net's name on the server
    QString operatorCall;
    QString frequency;      // the net's, from the net settings (kept on the server's net when given)
    bool createNet = false; // a net the server does not have is created (else the engine says so)
};

struct CSyncStatus
{
    bool online = false;
    int operators = 0;    // operators at work on the net in the last minute, this one included
    int pending = 0;      // changes here the server does not have yet
    int conflicts = 0;    // check-ins with a field two operators changed differently
    int setAside = 0;     // check-ins the server refused or the log cannot take
    QString error;        // why it is offline
    QString setAsideText; // why, a line a check-in (the first few)
};

// Keeps a log in step with the club's shared log: pushes the outbox, listens for the changes of the others
// and pulls them, and on every (re)connection compares the whole net by identity and version. Network work
// runs on a thread of its own and never waits for the window; what arrives enters the log through the
// store, on the store's thread, so everything that follows the log follows it too. A lost connection is
// retried with back-off; nothing waits in memory only.
class CSyncEngine : public QObject
{
    Q_OBJECT
public:
    CSyncEngine(CCheckinStore& store, CSharedLogOptions options, QObject* parent = nullptr);
    ~CSyncEngine() override;

    void Start();
    // Stops the thread; with flush, what the outbox holds is pushed first when the server is reachable.
    void Stop(bool flush = true);
    bool IsRunning() const { return m_thread.joinable(); }

    // One pass on the calling thread: connect, compare the net, push the outbox, pull. Raises
    // CNetException when the server cannot be used.
    void SyncOnce();

    CSyncStatus Status() const;
    qint64 Pushed() const { return m_pushed; }
    qint64 Pulled() const { return m_pulled; }
    qint64 Conflicts() const { return m_conflicts; }
    // Changes of this net that the server does not have yet, and check-ins set aside, as the log holds
    // them now.
    int Pending();
    int SetAside();
    // The net's name as the server spells it (once connected).
    QString NetName() const;

Q_SIGNALS:
    void statusChanged(const CSyncStatus& status);
    // A comparison of the whole net ended (after each connection).
    void resynced();

private:
    class CSession;
    CSyncSink DirectSink();
    void Run();
    void Wake();
    void PostStatus(bool online, int operators, const QString& error);
    // Counts what waits and what is set aside in the log (on the thread) and posts it to the status.
    void PostCounts(CDatabase& log);
    void Apply(const std::vector<CSharedCheckin>& rows, const QString& net);
    // Runs a write of what the server sent into the log; a log that cannot take it now asks for a resync.
    void Take(const std::function<void()>& write);

    CCheckinStore& m_store;
    CSharedLogOptions m_options;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_flush{true};
    std::atomic<bool> m_resyncWanted{false}; // the log could not take a pull or an answer
    std::atomic<bool> m_netStamped{false};   // the net's start or end was stamped here since the last push
    std::atomic<bool> m_countsWanted{true};  // the status counts are read again even if the log is as it was
    int m_wakeFd = -1;
    std::atomic<qint64> m_pushed{0}, m_pulled{0}, m_conflicts{0};
    CSyncStatus m_status;
    bool m_notTaken = false; // the status shows why the log could not take what the server sent
    mutable std::mutex m_netMutex;
    QString m_netName; // guarded by m_netMutex
    // What the server sent goes to the store's thread a small piece at a time, the next once the last is
    // in: a key pressed meanwhile waits for one piece at most, never for a whole resync.
    std::mutex m_applyMutex;
    std::condition_variable m_applied;
    int m_applying = 0; // pieces posted and not yet written; guarded by m_applyMutex
};
