#pragma once

#include "core/log/CheckinRecord.h"
#include "core/log/LogQueries.h"

#include <QDate>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

class CCheckinStore;
class CClock;
struct CCallbookAnswer;

// The rules of the check-in form, without widgets.
//
// The form shows one day (the selected day) and its check-ins in the order they were logged, with one of
// them current (the selected row). The boxes are in one of two states, and the operator always sees which:
//   - entering a new station (bound to no check-in): from F4, Escape, F5, a match, a look-up or a pre-net
//     double click. F5 logs it with the picker's day and the clock's time, then empties the boxes for the
//     next station; F6 refuses it (unless the day has no check-in yet);
//   - correcting check-in #N (bound): a row click, the arrows or the slider show a logged check-in. F6
//     saves the boxes into it, asking first when the call sign no longer is the stored one; F5 logs a new
//     station with only what was typed, never the shown check-in's other fields.
// A stored check-in changes only by F6, a tick in the list, the callbook's pull, or a Yes to a question
// that names it; Camel Case changes only the boxes. Leaving a correction with edits (a move, another day,
// F4, Escape, closing) saves them when the call sign is unchanged and asks when it changed; leaving a new
// station with something in the boxes asks whether to discard it. The list is re-read whenever the log
// changes, and that never changes what was typed. The distance is written into a comment only when a
// check-in is added or saved.
// Views follow the signals and push the operator's typing back with SetEntry().
class CCheckinForm : public QObject
{
    Q_OBJECT
public:
    CCheckinForm(CCheckinStore& store, const CClock& clock, QObject* parent = nullptr);

    // --- The day and its check-ins ---
    const QDate& Day() const { return m_day; }
    // Shows another day, after leaving the boxes as every move does; the same day is only read again (the
    // boxes stay). When the operator keeps the boxes, dayChanged still announces the day shown, so that
    // every view that offered another one goes back to it. False when the day was not changed.
    bool SelectDay(const QDate& day);
    const std::vector<CCheckinRecord>& Rows() const { return m_rows; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // The current row, -1 on a day without check-ins.
    int CurrentRow() const { return m_current; }
    const CCheckinRecord* Current() const;
    int RowOfId(int id) const;
    // Makes the row current and shows it in the boxes for a correction, after leaving what the boxes held.
    // False when the operator chose to stay (currentChanged then repeats the row that stays current).
    bool MoveTo(int row);
    enum class Step
    {
        First,
        Previous,
        Next,
        Last
    };
    void Move(Step step);

    // --- The boxes ---
    const CCheckinRecord& Entry() const { return m_entry; }
    // True while the boxes correct a logged check-in, false for a new station.
    bool IsBound() const { return m_boundId != 0; }
    int BoundId() const { return m_boundId; }
    // The stored call sign of the check-in being corrected.
    const QString& BoundCallSign() const { return m_shown.callSign; }
    // A new station with something in its boxes (what leaving it would throw away).
    bool HoldsNewStation() const;
    // "Entering a new station" or "Correcting check-in #3 (K4LMN)", with what is pending.
    QString StateText() const;
    // "12 check-ins on 03/07/2024".
    QString CountText() const;
    // The row number (from 1) a call sign has on the selected day, 0 when it is not logged there.
    int EntryOfCall(const QString& callSign) const;
    // The operator typed: the boxes' content (the id is ignored).
    void SetEntry(const CCheckinRecord& entry);
    bool IsEdited() const { return m_edited; }
    // The date and time the picker holds (the check-in's Date, of which F5 keeps only the day).
    void SetEntryDate(const QDateTime& value);

    const QString& MyGrid() const { return m_myGrid; }
    void SetMyGrid(const QString& grid);
    // "Distance: 760 miles" or "Distance: Unknown" for the boxes' grid.
    QString DistanceText() const;
    // The check-in as it is written when it is logged: the distance to its grid added to the comment.
    CCheckinRecord WithDistance(CCheckinRecord record) const;

    // The operator's answer to a question that names what it changes.
    enum class Answer
    {
        Yes,
        No,
        Cancel
    };
    // Asks the operator; with cancellable, Cancel (stay where you are) is offered beside Yes and No.
    using Asker = std::function<Answer(const QString& question, bool cancellable)>;
    // Without an asker every question is answered as leaving everything as it is.
    void SetAsker(Asker asker) { m_ask = std::move(asker); }

    // F5 when another program holds the log beyond the wait: with this (the window), the check-in waits here,
    // the boxes keep it, the status says so, and it is written as soon as the log is free, in order; without
    // it (a script), F5 fails with the reason.
    void SetWaitForLog(bool wait) { m_waitForLog = wait; }
    int WaitingCount() const { return int(m_waiting.size()); }
    static QString WaitingText();

    // --- Commands. Each returns false when it was refused (the reason went to message()). ---
    bool Add();       // F5
    bool Save();      // F6
    void Clear();     // "&Clear": empties the boxes but the call sign, in whichever state
    bool CamelCase(); // Alt+C: the boxes only
    // F4 and Escape: leaves the boxes, then a new station with every box empty but the date. F4 keeps a
    // new station that is being typed (it only brings the cursor back); Escape empties it.
    bool NewStation(bool discardTyping);
    // Whether the boxes may be left (closing the window): saves or asks as every move does.
    bool Leave();
    // A match taken (F1-F3, the matches list): the station's newest check-in, ready for F5.
    bool TakeMatch(const QString& callSign);
    // A callbook's answer (F7, a pre-net station): fills the boxes or, when the call is unknown, empties
    // them; the answer's status text goes to the status bar.
    // False when the operator chose to stay with a correction.
    bool ApplyLookup(const CCallbookAnswer& answer);
    // Deletes the check-ins of these rows; nothing when there are none. Returns how many went.
    int DeleteRows(const QList<int>& rows);
    bool SetFlag(int row, LogQueries::Flag flag, bool value);
    bool ToggleAck(int row);

    // Call signs offered for what is typed in the call-sign box.
    QStringList Matches(const QString& prefix);

    static QString AlreadyLoggedText(const QString& call, int entry);

Q_SIGNALS:
    // The selected day changed (or was read again); rowsChanged and entryChanged follow.
    void dayChanged(const QDate& day);
    // The day's check-ins changed (added, saved, removed, flags).
    void rowsChanged();
    void currentChanged(int row);
    // StateText() or CountText() may read differently (typing, a correction begun or left).
    void stateChanged();
    // The boxes must show Entry() again (a command changed them, not the operator).
    void entryChanged();
    // A text for the status bar.
    void status(const QString& text);
    // A refusal or error the operator has to acknowledge.
    void message(const QString& text);

private:
    void OnAdded(const CCheckinRecord& record);
    void OnChanged(const CCheckinRecord& record);
    void OnRemoved(const QList<int>& ids);
    void OnReset();
    void Reload();
    void ShowRow(int row);
    void SetNewStation(const CCheckinRecord& entry);
    // A new station's date and time: the day, and the clock's time F5 logs it with.
    CDateTime NewStationTime(const QDate& day) const;
    bool LeaveBoxes(bool forMatch = false);
    bool SaveBound(bool confirmed);
    void ShowDay(const QDate& day);
    Answer Ask(const QString& question, bool cancellable) const;
    bool OnlyCallChanged() const;
    bool Report(const std::exception& e);
    QDate EntryDay() const;
    void WriteWaiting();

    CCheckinStore& m_store;
    const CClock& m_clock;
    QDate m_day;
    std::vector<CCheckinRecord> m_rows;
    int m_current = -1;
    CCheckinRecord m_entry;
    CCheckinRecord m_shown; // the check-in being corrected as it was shown (or stored since)
    int m_boundId = 0;
    bool m_edited = false;
    unsigned m_typed = 0; // bit i: the operator typed into the data box i since the boxes were filled
    QString m_myGrid;
    bool m_writing = false; // our own change is being announced by the store
    Asker m_ask;
    bool m_waitForLog = false;
    std::deque<CCheckinRecord> m_waiting; // logged with F5 while another program held the log
    QTimer m_retry;
};
