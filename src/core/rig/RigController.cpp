#include "core/rig/RigController.h"

#include "core/rig/detail/Hamlib.h"

#include <QTimer>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <hamlib/rig.h>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

enum Kind
{
    kPoll,
    kPtt,
    kFrequency
};

struct CCommand
{
    int request = 0; // 0: the worker's own poll
    int kind = kPoll;
    qint64 value = 0;
};

qint64 NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// How long a call may be under way before the radio counts as not answering even though Hamlib has not
// given up yet: its own time-out, once more for a retry or the exchanges of an open, and some slack.
qint64 StallLimitMs(int timeOutMs)
{
    return 4LL * timeOutMs;
}

} // namespace

// What the owner and the worker share. The worker holds it too, so that it can finish on its own after
// the owner has gone.
struct CRigShared
{
    std::mutex mutex;
    std::condition_variable changed;
    // Set by the owner.
    CRigAddress address;
    quint64 generation = 0; // counts the changes of address
    std::deque<CCommand> queue;
    bool releasePtt = true;
    bool stop = false;
    // Hands a result to the owner's thread; only called under the mutex while the owner lives.
    std::function<void(quint64 generation, int request, const CRigStatus& status)> deliver;
    bool ownerGone = false;
    // Set by the worker.
    bool done = false;
    std::atomic<qint64> busySinceMs{0}; // when the Hamlib call under way began; 0: none is
    int timeOutMs = 0;
    int pollMs = 0;
};

namespace {

// The worker's side: the one Hamlib handle and every call on it.
class CRigWorker
{
public:
    explicit CRigWorker(std::shared_ptr<CRigShared> shared) : m_shared(std::move(shared)) {}
    void Run();

private:
    template <typename Call> int Timed(Call call);
    bool Open(QString* why, int* failure);
    void Close(bool releasePtt);
    // A code that says the link to the radio is gone (as opposed to a refusal of one command).
    static bool Lost(int rc);
    CRigStatus Execute(const CCommand& command);
    CRigStatus ExecuteOnce(const CCommand& command, int* failure);
    CRigStatus Disconnected(int rc, int* failure);
    void Deliver(quint64 generation, int request, const CRigStatus& status);

    std::shared_ptr<CRigShared> m_shared;
    CRigAddress m_address;
    RIG* m_rig = nullptr;
    bool m_open = false;
    bool m_keyedHere = false; // the PTT was keyed through this worker and not released since
    QString m_refusal;        // what the radio refused of the last command
};

template <typename Call> int CRigWorker::Timed(Call call)
{
    m_shared->busySinceMs = NowMs();
    const int rc = call();
    m_shared->busySinceMs = 0;
    return rc;
}

bool CRigWorker::Lost(int rc)
{
    // A radio that is switched off answers "not powered on" to everything: as good as no answer.
    return rc != RIG_OK && (!RIG_IS_SOFT_ERRCODE(-rc) || -rc == RIG_EPOWER);
}

bool CRigWorker::Open(QString* why, int* failure)
{
    {
        std::lock_guard lock(Hamlib::GlobalLock());
        m_rig = rig_init(static_cast<rig_model_t>(m_address.Model()));
    }
    if (!m_rig) {
        *why = QStringLiteral("Hamlib cannot set up radio model %1").arg(m_address.Model());
        return false;
    }
    const auto set = [this](const char* name, const QString& value) {
        rig_set_conf(m_rig, rig_token_lookup(m_rig, name), value.toLocal8Bit().constData());
    };
    set("rig_pathname", m_address.PathName());
    set("timeout", QString::number(m_shared->timeOutMs));
    // TCP to rigctld loses nothing; a serial line may drop a byte now and then.
    set("retry",
        m_address.GetKind() == CRigAddress::Kind::Network ? QStringLiteral("0") : QStringLiteral("1"));
    if (m_address.Speed() > 0)
        set("serial_speed", QString::number(m_address.Speed()));
    // What is read back must be the radio's answer, never Hamlib's memory of what was last set.
    rig_set_cache_timeout_ms(m_rig, HAMLIB_CACHE_ALL, 0);
    const int rc = Timed([this] { return rig_open(m_rig); });
    if (rc != RIG_OK) {
        *why = Hamlib::ErrorText(rc);
        *failure = rc;
        std::lock_guard lock(Hamlib::GlobalLock());
        rig_cleanup(m_rig);
        m_rig = nullptr;
        return false;
    }
    m_open = true;
    return true;
}

void CRigWorker::Close(bool releasePtt)
{
    if (!m_rig)
        return;
    if (m_open) {
        if (releasePtt && m_keyedHere)
            Timed([this] { return rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_OFF); });
        Timed([this] { return rig_close(m_rig); });
    }
    {
        std::lock_guard lock(Hamlib::GlobalLock());
        rig_cleanup(m_rig);
    }
    m_rig = nullptr;
    m_open = false;
    m_keyedHere = false;
}

CRigStatus CRigWorker::Disconnected(int rc, int* failure)
{
    // The link is gone: the next poll opens the radio again.
    *failure = rc;
    Close(false);
    CRigStatus status;
    status.configured = true;
    status.error = Hamlib::ErrorText(rc);
    return status;
}

CRigStatus CRigWorker::Execute(const CCommand& command)
{
    // A connection that breaks at once (rigctld drops one now and then while other clients come and go)
    // is opened again for the command straight away; a radio that is silent is not asked twice.
    const bool wasOpen = m_open;
    int failure = RIG_OK;
    CRigStatus status = ExecuteOnce(command, &failure);
    if (!status.connected && failure == -RIG_EIO && (wasOpen || command.kind != kPoll))
        status = ExecuteOnce(command, &failure);
    return status;
}

CRigStatus CRigWorker::ExecuteOnce(const CCommand& command, int* failure)
{
    CRigStatus status;
    status.configured = true;
    if (!m_open && !Open(&status.error, failure))
        return status;

    if (command.kind == kPtt || command.kind == kFrequency) {
        const bool ptt = command.kind == kPtt;
        int rc = RIG_OK;
        if (ptt)
            rc = Timed(
                [&] { return rig_set_ptt(m_rig, RIG_VFO_CURR, command.value ? RIG_PTT_ON : RIG_PTT_OFF); });
        else
            rc = Timed([&] { return rig_set_freq(m_rig, RIG_VFO_CURR, static_cast<freq_t>(command.value)); });
        if (Lost(rc))
            return Disconnected(rc, failure);
        if (rc == RIG_OK) {
            m_refusal.clear();
            if (ptt)
                m_keyedHere = command.value != 0;
        } else {
            m_refusal = (ptt ? QStringLiteral("PTT refused: %1") : QStringLiteral("frequency refused: %1"))
                            .arg(Hamlib::ErrorText(rc));
        }
    }

    // Read back what the radio now says. A value it cannot report (a refusal) stays empty; a lost link
    // makes the whole answer "not answering".
    freq_t frequency = 0;
    int rc = Timed([&] { return rig_get_freq(m_rig, RIG_VFO_CURR, &frequency); });
    if (Lost(rc))
        return Disconnected(rc, failure);
    if (rc == RIG_OK)
        status.frequencyHz = std::llround(frequency);
    rmode_t mode = RIG_MODE_NONE;
    pbwidth_t width = 0;
    rc = Timed([&] { return rig_get_mode(m_rig, RIG_VFO_CURR, &mode, &width); });
    if (Lost(rc))
        return Disconnected(rc, failure);
    if (rc == RIG_OK)
        status.mode = QString::fromLatin1(rig_strrmode(mode));
    ptt_t ptt = RIG_PTT_OFF;
    rc = Timed([&] { return rig_get_ptt(m_rig, RIG_VFO_CURR, &ptt); });
    if (Lost(rc))
        return Disconnected(rc, failure);
    status.ptt = rc == RIG_OK && ptt != RIG_PTT_OFF;
    status.connected = true;
    status.error = m_refusal;
    return status;
}

void CRigWorker::Deliver(quint64 generation, int request, const CRigStatus& status)
{
    std::lock_guard lock(m_shared->mutex);
    if (!m_shared->ownerGone)
        m_shared->deliver(generation, request, status);
}

void CRigWorker::Run()
{
    Hamlib::SetUp();
    CRigShared& shared = *m_shared;
    quint64 generation = 0;
    auto nextPoll = Clock::now();
    for (;;) {
        CCommand command;
        bool switchRig = false;
        bool releasePtt = true;
        {
            std::unique_lock lock(shared.mutex);
            const auto ready = [&] {
                return shared.stop || generation != shared.generation || !shared.queue.empty() ||
                       (m_address.IsSet() && Clock::now() >= nextPoll);
            };
            // No rig: nothing to poll, wait for a command or an address.
            if (m_address.IsSet())
                shared.changed.wait_until(lock, nextPoll, ready);
            else
                shared.changed.wait(lock, ready);
            releasePtt = shared.releasePtt;
            if (shared.stop)
                break;
            if (generation != shared.generation) {
                switchRig = true;
                generation = shared.generation;
            } else if (!shared.queue.empty()) {
                command = shared.queue.front();
                shared.queue.pop_front();
            } else if (!m_address.IsSet() || Clock::now() < nextPoll) {
                continue;
            }
        }
        if (switchRig) {
            Close(releasePtt);
            {
                std::lock_guard lock(shared.mutex);
                m_address = shared.address;
            }
            m_refusal.clear();
            nextPoll = Clock::now();
            continue;
        }
        if (!m_address.IsSet())
            continue; // (a command is only queued with a rig set; one that raced a change is dropped)
        const CRigStatus status = Execute(command);
        nextPoll = Clock::now() + std::chrono::milliseconds(shared.pollMs);
        Deliver(generation, command.request, status);
    }
    bool releasePtt = true;
    {
        std::lock_guard lock(shared.mutex);
        releasePtt = shared.releasePtt;
    }
    Close(releasePtt);
    std::lock_guard lock(shared.mutex);
    shared.done = true;
    shared.changed.notify_all();
}

} // namespace

CRigController::CRigController(QObject* parent, int timeOutMs, int pollMs)
    : QObject(parent), m_shared(std::make_shared<CRigShared>()), m_watchdog(new QTimer(this)),
      m_timeOutMs(timeOutMs)
{
    qRegisterMetaType<CRigStatus>();
    // Hamlib sets LC_NUMERIC to "C" around its calls and restores the name it read before, which the C
    // library frees on that very change unless it is "C" already (a use after free, and a change of the
    // whole program's locale from the worker thread). Numbers are read and written the C way here anyway
    // (the window formats through QLocale), so the program is put on "C" for them once, before any call.
    setlocale(LC_NUMERIC, "C");
    m_shared->timeOutMs = timeOutMs;
    m_shared->pollMs = pollMs;
    m_shared->deliver = [this](quint64 generation, int request, const CRigStatus& status) {
        QMetaObject::invokeMethod(
            this, [this, generation, request, status] { OnResult(generation, request, status); },
            Qt::QueuedConnection);
    };
    m_watchdog->setInterval(250);
    connect(m_watchdog, &QTimer::timeout, this, &CRigController::OnWatchdog);
    m_thread = std::thread([shared = m_shared] { CRigWorker(shared).Run(); });
}

CRigController::~CRigController()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->ownerGone = true;
    m_shared->stop = true;
    m_shared->changed.notify_all();
    // A radio that answers is closed in a moment; one that does not is left to its time-out, without us.
    const bool done =
        m_shared->changed.wait_for(lock, std::chrono::milliseconds(500), [this] { return m_shared->done; });
    lock.unlock();
    if (done)
        m_thread.join();
    else
        m_thread.detach();
}

void CRigController::SetAddress(const CRigAddress& address)
{
    if (address == m_address)
        return;
    m_address = address;
    ++m_generation;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->address = address;
        m_shared->generation = m_generation;
        m_shared->queue.clear();
    }
    m_shared->changed.notify_all();
    m_stalled = false;
    m_status = CRigStatus();
    m_status.configured = address.IsSet();
    if (address.IsSet()) {
        m_watchdog->start();
    } else {
        m_watchdog->stop();
        Q_EMIT statusChanged(m_status);
    }
}

void CRigController::SetReleasePttOnClose(bool release)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->releasePtt = release;
}

int CRigController::Queue(int kind, qint64 value)
{
    if (!m_address.IsSet())
        return 0;
    const int request = m_nextRequest++;
    if (m_nextRequest <= 0)
        m_nextRequest = 1;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->queue.push_back({request, kind, value});
    }
    m_shared->changed.notify_all();
    return request;
}

int CRigController::SetPtt(bool on)
{
    return Queue(kPtt, on ? 1 : 0);
}

int CRigController::SetFrequency(qint64 hz)
{
    return Queue(kFrequency, hz);
}

int CRigController::Refresh()
{
    return Queue(kPoll, 0);
}

void CRigController::OnResult(quint64 generation, int request, const CRigStatus& status)
{
    if (generation != m_generation)
        return; // an answer of the rig that was set before
    m_stalled = false;
    Report(status);
    if (request > 0)
        Q_EMIT finished(request, status);
}

void CRigController::OnWatchdog()
{
    const qint64 since = m_shared->busySinceMs;
    if (m_stalled || since == 0 || NowMs() - since <= StallLimitMs(m_timeOutMs))
        return;
    m_stalled = true;
    CRigStatus status;
    status.configured = true;
    status.error = QStringLiteral("no answer in %1 s").arg(StallLimitMs(m_timeOutMs) / 1000.0);
    Report(status);
}

void CRigController::Report(const CRigStatus& status)
{
    if (status == m_status)
        return;
    m_status = status;
    Q_EMIT statusChanged(status);
}
