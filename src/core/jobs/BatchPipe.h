#pragma once

#include <QString>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Batches handed in order from a producer on a thread of its own to the consumer, through a fixed set of
// buffers that go round: the producer takes a free batch with Acquire(), fills it and hands it on with
// Push(); the consumer takes it with Next() and gives it back with Release(). The batch with `last` set ends
// the stream. Batch needs `void Clear()` and `bool last`.
//
// An exception of the producer ends the stream with an empty last batch; Error() then holds its text.
// Destroying the pipe stops a producer waiting for a free batch (Acquire() returns nullptr) and joins it, so
// a pipe declared after what its producer uses is gone before that.
template <typename Batch, std::size_t Count> class CBatchPipe
{
public:
    CBatchPipe()
    {
        for (auto& b : m_batches)
            m_free.push_back(&b);
    }
    ~CBatchPipe()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_freeChanged.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    CBatchPipe(const CBatchPipe&) = delete;
    CBatchPipe& operator=(const CBatchPipe&) = delete;

    // Runs the producer on the pipe's thread. It keeps the batch it holds in its argument, so that a
    // failure can end the stream with that batch.
    void Start(std::function<void(Batch*& inHand)> produce)
    {
        m_thread = std::thread([this, produce = std::move(produce)] {
            Batch* b = nullptr;
            try {
                produce(b);
            } catch (const std::exception& e) {
                m_error = QString::fromUtf8(e.what());
                End(b);
            }
        });
    }

    // Consumer: the next batch in order; the last one has `last` set.
    Batch* Next()
    {
        std::unique_lock lock(m_mutex);
        m_fullChanged.wait(lock, [this] { return !m_full.empty(); });
        Batch* b = m_full.front();
        m_full.pop_front();
        return b;
    }

    void Release(Batch* b)
    {
        {
            std::lock_guard lock(m_mutex);
            m_free.push_back(b);
        }
        m_freeChanged.notify_one();
    }

    // Read only after the last batch has been taken.
    const QString& Error() const { return m_error; }

    // Producer: a free batch, or nullptr when the pipe is being destroyed.
    Batch* Acquire()
    {
        std::unique_lock lock(m_mutex);
        m_freeChanged.wait(lock, [this] { return m_stop || !m_free.empty(); });
        if (m_stop)
            return nullptr;
        Batch* b = m_free.back();
        m_free.pop_back();
        return b;
    }

    void Push(Batch* b)
    {
        {
            std::lock_guard lock(m_mutex);
            m_full.push_back(b);
        }
        m_fullChanged.notify_one();
    }

    // Producer: ends the stream with an empty last batch, the one in hand or any free one.
    void End(Batch*& inHand)
    {
        if (!inHand)
            inHand = Acquire();
        if (inHand) {
            inHand->Clear();
            inHand->last = true;
            Push(inHand);
            inHand = nullptr;
        }
    }

private:
    Batch m_batches[Count];
    std::mutex m_mutex;
    std::condition_variable m_freeChanged;
    std::condition_variable m_fullChanged;
    std::vector<Batch*> m_free;
    std::deque<Batch*> m_full;
    bool m_stop = false;
    QString m_error;
    std::thread m_thread;
};
