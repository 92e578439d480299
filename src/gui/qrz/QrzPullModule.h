#pragma once

#include "core/qrz/QrzLookupWorker.h"

#include <QHash>
#include <QObject>
#include <memory>

struct CCheckinRecord;
class CLogwardenDoc;
class CLogwardenView;
class CMainFrame;
class CQrzAccounts;
class QPushButton;

// "Pull from QRZ [F8]" (the button, F8, a right click in the day list): QRZ's values go into the empty
// fields of the check-in that was selected when the look-up was asked for, or, while a new station is
// being entered, into that station's empty boxes. QRZ is asked on the look-up worker's thread; the window
// stays live and the answer is applied when it comes:
//   - to a check-in through the log's writer, "empty" judged on the check-in as stored at that moment
//     (the form refreshes the boxes when they show it untouched; boxes with typing keep it, and only
//     those of them still empty take QRZ's values, so that F6 does not wipe what was pulled);
//   - to the station being entered only while the boxes still hold it; if it was logged with F5 in the
//     meantime, its new check-in is filled instead. The selected check-in is never changed by it.
// QRZ's error text goes to the status bar and nothing is changed.
class CQrzPullModule : public QObject
{
    Q_OBJECT
public:
    CQrzPullModule(CMainFrame& frame, CQrzAccounts& accounts);
    ~CQrzPullModule() override;

    // F8 and the button.
    void OnPull();
    // A right click on a row of the day list: that check-in becomes current and is filled.
    void PullRow(int row);
    QPushButton* PullButton() const { return m_button; }
    // Look-ups asked for and not yet applied.
    int Pending() const { return int(m_pending.size()); }

Q_SIGNALS:
    // A look-up's answer was applied (or its error shown).
    void pullFinished();

private:
    struct CTarget
    {
        int checkinId = 0; // 0: the station being entered
        QString callSign;
    };
    void Submit(const CTarget& target);
    // Asks QRZ for the pending target of token.
    void Ask(int token, const CQRZAccount& account);
    void OnResult(const CQRZLookupWorker::CResult& result);
    void FillCheckin(const CTarget& target, const CCheckinRecord& station);
    void FillEntry(const CTarget& target, const CCheckinRecord& station);
    void OnCheckinAdded(const CCheckinRecord& record);
    void DropSession();
    void Status(const QString& text);

    CMainFrame& m_frame;
    CLogwardenDoc& m_doc;
    CLogwardenView& m_view;
    CQrzAccounts& m_accounts;
    QPushButton* m_button = nullptr;
    std::unique_ptr<CQRZLookupWorker> m_worker;
    QHash<int, CTarget> m_pending;
    int m_nextToken = 0;
};
