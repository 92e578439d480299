#pragma once

#include "core/callbook/Callbook.h"
#include "core/qrz/QrzQuery.h"

#include <QString>
#include <QVariant>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CWebRequest;

// Runs the window's QRZ look-ups one after another on a thread of their own, so that the window stays
// live while QRZ answers. One worker (one CQRZQuery) does every login and writes both XML files.
//
// Each request carries what it needs, read on the window's thread when F8 was pressed: the call sign,
// the account, the home grid and unit, and a context (the check-in that was selected) that comes back
// with the result. Results are handed to the callback on the worker's thread; a window posts them to
// its own thread and applies them there (Callbook::FillEmpty, then the log's writer).
class CQRZLookupWorker
{
public:
    struct CRequest
    {
        QString callSign;
        CQRZAccount account;
        QString homeGrid;
        QString unit = QStringLiteral("miles");
        QVariant context;
    };
    struct CResult
    {
        CRequest request; // the password is blanked
        bool found = false;
        CQRZCallData data;
        CCallbookAnswer answer; // the record in the log's columns, or why there is none
        CQRZQuery::Failure failure = CQRZQuery::Failure::None;
        QString error; // GetLastError() of the query
    };
    using Done = std::function<void(const CResult& result)>;

    CQRZLookupWorker(std::unique_ptr<CWebRequest> http, const QString& folder, Done done);
    // Stops the look-up under way and drops the requests not yet started; none of them is reported.
    ~CQRZLookupWorker();
    CQRZLookupWorker(const CQRZLookupWorker&) = delete;
    CQRZLookupWorker& operator=(const CQRZLookupWorker&) = delete;

    void Submit(CRequest request);
    // Forgets the session key (memory and file) once the requests submitted before are done: the
    // account was changed, and a key of the old one must not be used by the next run either.
    void DropSession();
    // Requests submitted and not yet answered.
    int Pending() const;

private:
    void Run();

    std::unique_ptr<CWebRequest> m_http;
    CQRZQuery m_query;
    Done m_done;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    struct CItem
    {
        bool dropSession = false;
        CRequest request;
    };
    std::deque<CItem> m_queue;
    int m_pending = 0;
    bool m_stop = false;
    std::thread m_thread; // last: starts once everything above exists
};
