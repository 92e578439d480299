#pragma once

#include "core/jobs/BackgroundJob.h"

#include <QObject>
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>

class CWebRequest;

// Runs web exchanges off the thread it lives on (the window's), one piece of work at a time, and brings
// their progress, the server's questions for credentials and their end back to that thread as signals.
//
//     worker.Start([&](CWebWorker& w) {
//         CWebRequest request(options);
//         w.Attach(request);           // progress, Cancel() and credentials go through the worker
//         result = request.Get();      // read result once finished() has come
//     });
class CWebWorker : public QObject
{
    Q_OBJECT
public:
    explicit CWebWorker(QObject* parent = nullptr);
    // Cancels the running work and waits for it (a fraction of a second).
    ~CWebWorker() override;

    // Runs work on a thread of its own; false when work is already running.
    bool Start(std::function<void(CWebWorker& worker)> work);
    bool IsBusy() const { return m_job.IsRunning(); }
    void Cancel();
    bool IsCancelled() const { return m_job.IsCancelled(); }
    // After finished(): the message of what the work raised, empty when it raised nothing.
    QString TakeError();

    // For the work, on its thread: the request reports its progress to this worker, stops on Cancel() and
    // asks for credentials through credentialsNeeded().
    void Attach(CWebRequest& request);

    // The answer to credentialsNeeded(), on this object's thread, at once or later; ok false cancels.
    void AnswerCredentials(bool ok, const QString& user, const QString& password);

Q_SIGNALS:
    // Bytes sent and received so far and their total (-1 while unknown), a few times a second.
    void progress(qint64 done, qint64 total);
    // The server asks for a user name and password (user: the one last used). Answer with
    // AnswerCredentials(). With nothing connected the question is refused at once.
    void credentialsNeeded(const QString& url, const QString& realm, const QString& user);
    void finished();

private:
    // On the work's thread: waits for the answer to credentialsNeeded().
    bool AskCredentials(const QString& url, const QString& realm, QString& user, QString& password);

    CBackgroundJob m_job;
    std::mutex m_lock;
    std::condition_variable m_answered;
    enum class Ask
    {
        None,
        Waiting,
        Accepted,
        Refused
    } m_ask = Ask::None;
    QString m_user;
    QString m_password;
};
