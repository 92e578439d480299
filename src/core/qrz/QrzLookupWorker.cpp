#include "core/qrz/QrzLookupWorker.h"

#include "core/qrz/QrzCallbook.h"
#include "core/web/WebRequest.h"

CQRZLookupWorker::CQRZLookupWorker(std::unique_ptr<CWebRequest> http, const QString& folder, Done done)
    : m_http(std::move(http)), m_query(*m_http, folder), m_done(std::move(done)),
      m_thread(&CQRZLookupWorker::Run, this)
{
}

CQRZLookupWorker::~CQRZLookupWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_http->Close();
    m_changed.notify_all();
    m_thread.join();
}

void CQRZLookupWorker::Submit(CRequest request)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({false, std::move(request)});
        ++m_pending;
    }
    m_changed.notify_all();
}

void CQRZLookupWorker::DropSession()
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({true, {}});
    }
    m_changed.notify_all();
}

int CQRZLookupWorker::Pending() const
{
    std::lock_guard lock(m_mutex);
    return m_pending;
}

void CQRZLookupWorker::Run()
{
    for (;;) {
        CItem item;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (item.dropSession) {
            m_query.DropSession();
            continue;
        }
        CRequest& request = item.request;
        m_query.SetAccount(request.account);
        m_query.SetHomeGrid(request.homeGrid, request.unit);
        CResult result;
        CQrzCallbook callbook(m_query);
        result.answer = callbook.LookUp(request.callSign);
        result.found = result.answer.found;
        if (result.found)
            result.data = m_query.GetData();
        result.failure = callbook.LastFailure();
        result.error = result.answer.error;
        result.request = std::move(request);
        result.request.account.password.clear();
        bool stopping = false;
        {
            std::lock_guard lock(m_mutex);
            stopping = m_stop;
        }
        // A look-up cut short because the owner is going away is nobody's business any more.
        if (m_done && !stopping)
            m_done(result);
        {
            std::lock_guard lock(m_mutex);
            --m_pending;
        }
    }
}
