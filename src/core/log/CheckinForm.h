#pragma once

#include "core/log/CheckinRecord.h"
#include "core/log/LogQueries.h"

#include <QDate>
#include <QObject>
#include <QStringList>
#include <vector>

class CCheckinStore;
class CClock;
struct CFccLookupResult;

// The rules of the check-in form, without widgets.
//
// The form shows one day (the selected day) and its check-ins in the order they were logged, with one of
// them current (the selected row). The boxes hold an entry, which is either the current check-in itself
// ("bound": the boxes show it and F6 saves into it) or a station being entered (from a match, a look-up,
// Clear, or after F5 made the boxes ready for the next station): F5 logs it as a new check-in, and nothing
// writes it into another one. One state, consulted by every command:
//   - F5 logs the entry with the picker's day and the clock's time, then empties the boxes for the next
//     station (all but the date) and makes the new check-in current;
//   - F6 saves a bound entry into its own check-in; an entry being entered is refused (it is logged
//     with F5) unless the day has no check-in yet;
//   - a move of any kind (menu, slider, row click, another day) first saves a bound entry the operator
//     has edited, then shows the check-in moved to;
//   - the list is re-read whenever the log changes, and that never changes the boxes;
//   - the distance is written into a comment only when a check-in is added or saved.
// Views follow the signals and push the operator's typing back with SetEntry().
class CCheckinForm : public QObject
{
    Q_OBJECT
public:
    CCheckinForm(CCheckinStore& store, const CClock& clock, QObject* parent = nullptr);

    // --- The day and its check-ins ---
    const QDate& Day() const { return m_day; }
    // Shows the day (a move: a bound entry with edits is saved first). Emits dayChanged even for the same
    // day, which reads it again.
    void SelectDay(const QDate& day);
    const std::vector<CCheckinRecord>& Rows() const { return m_rows; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // The current row, -1 on a day without check-ins.
    int CurrentRow() const { return m_current; }
    const CCheckinRecord* Current() const;
    int RowOfId(int id) const;
    // Makes the row current and shows it in the boxes (after saving a bound entry that was edited).
    void MoveTo(int row);
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
    // True when the boxes show the current check-in, false for a station being entered.
    bool IsBound() const { return m_boundId != 0; }
    int BoundId() const { return m_boundId; }
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

    // --- Commands. Each returns false when it was refused (the reason went to message()). ---
    bool Add();       // F5
    bool Save();      // F6
    void Clear();     // "&Clear", Escape: empties the boxes but the call sign
    bool CamelCase(); // Alt+C
    // A match taken (F1-F3, the matches list): the station's newest check-in, ready for F5.
    bool TakeMatch(const QString& callSign);
    // The local look-up's answer (F7): fills the boxes or, when the call is unknown, empties them.
    void ApplyLookup(const CFccLookupResult& result, const QString& statusText);
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
    bool SaveBoundEdits();
    bool Report(const std::exception& e);
    QDate EntryDay() const;

    CCheckinStore& m_store;
    const CClock& m_clock;
    QDate m_day;
    std::vector<CCheckinRecord> m_rows;
    int m_current = -1;
    CCheckinRecord m_entry;
    int m_boundId = 0;
    bool m_edited = false;
    QString m_myGrid;
    bool m_writing = false; // our own change is being announced by the store
};
