#pragma once

#include "core/rig/RigAddress.h"
#include "core/rig/RigStatus.h"

#include <QObject>
#include <memory>
#include <thread>

class QTimer;
struct CRigShared;

// The radio behind Hamlib: frequency, mode and PTT. One Hamlib handle lives on a worker thread of its
// own, which polls the radio about once a second while a rig is set and runs the commands queued to it;
// nothing here ever waits for the radio. Every Hamlib call is bounded by a time-out, and a call that
// still has not returned well after it counts as "not answering" all the same. Results come back as
// signals on the thread that owns this object.
//
// A lost radio (switched off, unplugged, rigctld stopped) is opened again at each poll, so it comes back
// by itself. When this object goes or the rig is changed, a PTT it keyed is released first (unless
// SetReleasePttOnClose(false)), so a closed window never leaves a transmitter on.
class CRigController : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeOutMs = 1000;
    static constexpr int kDefaultPollMs = 1000;

    // timeOutMs: how long one exchange with the radio may take (Hamlib's own time-out); pollMs: how often
    // the radio is read while nothing else is asked of it.
    explicit CRigController(QObject* parent = nullptr, int timeOutMs = kDefaultTimeOutMs,
                            int pollMs = kDefaultPollMs);
    // Returns at once: the worker closes the radio on its own and is waited for only briefly.
    ~CRigController() override;
    CRigController(const CRigController&) = delete;
    CRigController& operator=(const CRigController&) = delete;

    // The radio to talk to; one that is not set stops the polling ("no rig"). Commands not yet run for
    // the previous rig are dropped. The first status follows once the radio answered or failed to.
    void SetAddress(const CRigAddress& address);
    const CRigAddress& Address() const { return m_address; }
    // Whether a PTT keyed through this object is released before the radio is closed (default: yes).
    void SetReleasePttOnClose(bool release);

    // Commands, queued to the worker; each returns its number, which finished() reports with the status
    // read back from the radio after it. 0: no rig is set, nothing was queued.
    int SetPtt(bool on);
    int SetFrequency(qint64 hz);
    // A poll now, without waiting for the next.
    int Refresh();

    // The last status reported (configured is false while no rig is set).
    const CRigStatus& Status() const { return m_status; }
    int TimeOutMs() const { return m_timeOutMs; }

Q_SIGNALS:
    // The radio's status changed: its frequency, mode or PTT, its answering, a refusal. Also once after a
    // rig is set and when it is taken away.
    void statusChanged(const CRigStatus& status);
    // A command (SetPtt, SetFrequency, Refresh) was run; status is what the radio said afterwards.
    void finished(int request, const CRigStatus& status);

private:
    int Queue(int kind, qint64 value);
    void OnResult(quint64 generation, int request, const CRigStatus& status);
    void OnWatchdog();
    void Report(const CRigStatus& status);

    std::shared_ptr<CRigShared> m_shared;
    CRigAddress m_address;
    CRigStatus m_status;
    QTimer* m_watchdog = nullptr;
    int m_timeOutMs;
    quint64 m_generation = 0;
    int m_nextRequest = 1;
    bool m_stalled = false;
    std::thread m_thread; // last: starts once everything above exists
};
