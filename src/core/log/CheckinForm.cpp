#include "core/log/CheckinForm.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/callbook/Callbook.h"
#include "core/log/CheckinStore.h"
#include "core/log/GridDistance.h"
#include "core/log/LogQueries.h"
#include "core/log/LogText.h"

#include <algorithm>

namespace {

const QString kNoCallText =
    QStringLiteral("Type the station's call sign first: a check-in without a call sign "
                   "is not logged.");

bool SameBoxes(const CCheckinRecord& a, const CCheckinRecord& b)
{
    return a.callSign == b.callSign && a.name == b.name && a.street == b.street && a.location == b.location &&
           a.comment == b.comment && a.date == b.date && a.cls == b.cls && a.yourGrid == b.yourGrid &&
           a.email == b.email;
}

// An entry for a new station: nothing of another station, the picker's date kept.
CCheckinRecord Blank(const CDateTime& date)
{
    CCheckinRecord r;
    r.date = date;
    return r;
}

// The day's list order: by check-in time, then by the order they were logged here.
bool Earlier(const CCheckinRecord& a, const CCheckinRecord& b)
{
    const QDateTime x = a.date.Value(), y = b.date.Value();
    return x != y ? x < y : a.id < b.id;
}

// The boxes a station's data fills (all but the call sign and the date).
QString CCheckinRecord::*const kDataBoxes[] = {
    &CCheckinRecord::name, &CCheckinRecord::street,   &CCheckinRecord::location, &CCheckinRecord::comment,
    &CCheckinRecord::cls,  &CCheckinRecord::yourGrid, &CCheckinRecord::email};

bool SameCall(const QString& a, const QString& b)
{
    return LogText::SameCallSign(a.trimmed(), b.trimmed());
}

} // namespace

CCheckinForm::CCheckinForm(CCheckinStore& store, const CClock& clock, QObject* parent)
    : QObject(parent), m_store(store), m_clock(clock)
{
    connect(&m_store, &CCheckinStore::checkinAdded, this, &CCheckinForm::OnAdded);
    connect(&m_store, &CCheckinStore::checkinChanged, this, &CCheckinForm::OnChanged);
    connect(&m_store, &CCheckinStore::checkinsRemoved, this, &CCheckinForm::OnRemoved);
    connect(&m_store, &CCheckinStore::logReset, this, &CCheckinForm::OnReset);
    // An import: the day's rows are read again, the boxes stay as they are.
    connect(&m_store, &CCheckinStore::checkinsImported, this, [this] {
        if (m_day.isValid())
            SelectDay(m_day);
    });
    m_retry.setSingleShot(true);
    m_retry.setInterval(500);
    connect(&m_retry, &QTimer::timeout, this, &CCheckinForm::WriteWaiting);
}

QString CCheckinForm::WaitingText()
{
    return QStringLiteral("Waiting for the log: another program is writing it");
}

void CCheckinForm::WriteWaiting()
{
    while (!m_waiting.empty()) {
        const CCheckinRecord record = m_waiting.front();
        try {
            m_store.Add(record);
        } catch (const CDBBusyException&) {
            Q_EMIT status(QStringLiteral("%1 (%2 check-in%3 to write)")
                              .arg(WaitingText())
                              .arg(m_waiting.size())
                              .arg(m_waiting.size() == 1 ? QString() : QStringLiteral("s")));
            m_retry.start();
            return;
        } catch (const std::exception& e) {
            // Never dropped: said, and tried again a little later.
            Report(e);
            m_retry.start(5000);
            return;
        }
        m_waiting.pop_front();
        // The boxes that still hold the station are ready for the next one.
        if (!IsBound() && SameCall(m_entry.callSign, record.callSign)) {
            SetNewStation(Blank(record.date));
            Q_EMIT entryChanged();
            Q_EMIT stateChanged();
        }
        Q_EMIT status(QStringLiteral("%1 logged: the log is free again.").arg(record.callSign));
    }
}

QString CCheckinForm::AlreadyLoggedText(const QString& call, int entry)
{
    return QStringLiteral("%1 Already logged as entry #%2").arg(call).arg(entry);
}

const CCheckinRecord* CCheckinForm::Current() const
{
    return m_current >= 0 && m_current < RowCount() ? &m_rows[size_t(m_current)] : nullptr;
}

int CCheckinForm::RowOfId(int id) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == id)
            return int(i);
    return -1;
}

QDate CCheckinForm::EntryDay() const
{
    return m_entry.date.IsValid() ? m_entry.date.Date() : m_day;
}

bool CCheckinForm::Report(const std::exception& e)
{
    const auto* ours = dynamic_cast<const CLogwardenException*>(&e);
    Q_EMIT message(ours ? ours->Message() : QString::fromUtf8(e.what()));
    return false;
}

// --- The day ---------------------------------------------------------------------------------------------

void CCheckinForm::Reload()
{
    m_rows = m_store.Day(m_day);
}

bool CCheckinForm::SelectDay(const QDate& day)
{
    if (!day.isValid())
        return false;
    if (day == m_day) {
        // Read again; the boxes are not left for it.
        try {
            Reload();
        } catch (const std::exception& e) {
            Report(e);
        }
        Q_EMIT rowsChanged();
        Q_EMIT stateChanged();
        return true;
    }
    if (m_day.isValid() && !LeaveBoxes()) {
        // The tree, the calendar and whatever else offered the other day go back to this one.
        Q_EMIT dayChanged(m_day);
        return false;
    }
    ShowDay(day);
    return true;
}

void CCheckinForm::ShowDay(const QDate& day)
{
    m_day = day;
    try {
        Reload();
    } catch (const std::exception& e) {
        m_rows.clear();
        Report(e);
    }
    // A day starts from empty boxes for a new station, whatever it holds: nothing of the station shown
    // before, and no check-in of the day until the operator picks one.
    m_current = -1;
    SetNewStation(Blank(NewStationTime(day)));
    if (m_rows.empty()) {
        Q_EMIT status(QStringLiteral("Ready"));
    } else {
        Q_EMIT status(
            QStringLiteral("%1 Checkins on %2").arg(m_rows.size()).arg(m_rows.front().date.ToListText()));
    }
    Q_EMIT dayChanged(m_day);
    Q_EMIT rowsChanged();
    Q_EMIT currentChanged(m_current);
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
}

void CCheckinForm::ShowRow(int row)
{
    m_current = row;
    m_entry = m_rows[size_t(row)];
    m_shown = m_entry;
    m_boundId = m_entry.id;
    m_edited = false;
    m_typed = 0;
}

CDateTime CCheckinForm::NewStationTime(const QDate& day) const
{
    return CDateTime(day, m_clock.Now().time());
}

void CCheckinForm::SetNewStation(const CCheckinRecord& entry)
{
    m_entry = entry;
    m_entry.id = 0;
    m_entry.acknowledged = m_entry.hasTraffic = m_entry.hasComments = false;
    m_shown = CCheckinRecord();
    m_boundId = 0;
    m_edited = false;
    m_typed = 0;
}

bool CCheckinForm::HoldsNewStation() const
{
    if (IsBound())
        return false;
    if (!m_entry.callSign.trimmed().isEmpty())
        return true;
    for (const auto box : kDataBoxes)
        if (!(m_entry.*box).trimmed().isEmpty())
            return true;
    return false;
}

bool CCheckinForm::OnlyCallChanged() const
{
    for (const auto box : kDataBoxes)
        if (m_entry.*box != m_shown.*box)
            return false;
    return m_entry.date == m_shown.date;
}

CCheckinForm::Answer CCheckinForm::Ask(const QString& question, bool cancellable) const
{
    if (!m_ask)
        return cancellable ? Answer::Cancel : Answer::No;
    return m_ask(question, cancellable);
}

// Whether what the boxes hold may give way to something else, after saving or asking as the state
// requires. A match or a look-up replaces a new station's boxes by design, and a correction in which only
// the call sign was typed over (to find the next station) is left without a question.
bool CCheckinForm::LeaveBoxes(bool forMatch)
{
    if (IsBound()) {
        if (!m_edited)
            return true;
        if (SameCall(m_entry.callSign, m_shown.callSign))
            return SaveBound(false);
        if (forMatch && OnlyCallChanged())
            return true;
        const int row = RowOfId(m_boundId);
        switch (Ask(QStringLiteral("Change check-in #%1 from %2 to %3?\n\nYes saves what the boxes show into "
                                   "check-in #%1, No leaves it as it was and drops what was typed, Cancel "
                                   "goes back to the boxes.")
                        .arg(row + 1)
                        .arg(m_shown.callSign, m_entry.callSign.trimmed()),
                    true)) {
        case Answer::Yes:
            return SaveBound(true);
        case Answer::No:
            return true;
        case Answer::Cancel:
            return false;
        }
        return false;
    }
    if (forMatch || !HoldsNewStation())
        return true;
    const QString call = m_entry.callSign.trimmed();
    const QString what = call.isEmpty() ? QStringLiteral("The station in the boxes") : call;
    return Ask(QStringLiteral("%1 is not logged yet. Discard it?").arg(what), false) == Answer::Yes;
}

bool CCheckinForm::Leave()
{
    return LeaveBoxes();
}

bool CCheckinForm::NewStation(bool discardTyping)
{
    if (!IsBound()) {
        if (!discardTyping)
            return true; // F4 while a new station is typed: the cursor goes back to the call sign
    } else if (!LeaveBoxes()) {
        return false;
    }
    SetNewStation(Blank(NewStationTime(EntryDay())));
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
    return true;
}

bool CCheckinForm::MoveTo(int row)
{
    if (row < 0 || row >= RowCount())
        return false;
    const int wanted = m_rows[size_t(row)].id;
    if (!(IsBound() && m_boundId == wanted && !m_edited) && !LeaveBoxes()) {
        Q_EMIT currentChanged(m_current);
        return false;
    }
    // Leaving may have saved a check-in into another day, which moves the rows.
    row = RowOfId(wanted);
    if (row < 0)
        return false;
    ShowRow(row);
    Q_EMIT currentChanged(m_current);
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
    Q_EMIT status(QStringLiteral("Record %1 of %2").arg(m_current + 1).arg(RowCount()));
    return true;
}

void CCheckinForm::Move(Step step)
{
    if (m_rows.empty())
        return;
    const int last = RowCount() - 1;
    if (m_current < 0) {
        // From a new station: forwards into the list from its start, backwards from its end.
        MoveTo(step == Step::First || step == Step::Next ? 0 : last);
        return;
    }
    const int from = m_current;
    switch (step) {
    case Step::First:
        MoveTo(0);
        break;
    case Step::Previous:
        MoveTo(std::max(from - 1, 0));
        break;
    case Step::Next:
        MoveTo(std::min(from + 1, last));
        break;
    case Step::Last:
        MoveTo(last);
        break;
    }
}

// --- The boxes -------------------------------------------------------------------------------------------

void CCheckinForm::SetEntry(const CCheckinRecord& entry)
{
    if (SameBoxes(entry, m_entry))
        return;
    const CCheckinRecord flags = m_entry;
    for (size_t i = 0; i < std::size(kDataBoxes); ++i)
        if (entry.*kDataBoxes[i] != m_entry.*kDataBoxes[i])
            m_typed |= 1u << i;
    m_entry = entry;
    m_entry.id = m_boundId;
    m_entry.acknowledged = flags.acknowledged;
    m_entry.hasTraffic = flags.hasTraffic;
    m_entry.hasComments = flags.hasComments;
    m_edited = true;
    Q_EMIT stateChanged();
}

void CCheckinForm::SetEntryDate(const QDateTime& value)
{
    const CDateTime date(value);
    if (date == m_entry.date)
        return;
    m_entry.date = date;
    m_edited = true;
    Q_EMIT stateChanged();
}

void CCheckinForm::SetMyGrid(const QString& grid)
{
    m_myGrid = grid;
}

QString CCheckinForm::DistanceText() const
{
    return GridDistance::FormText(m_myGrid, m_entry.yourGrid);
}

CCheckinRecord CCheckinForm::WithDistance(CCheckinRecord record) const
{
    const QString text = GridDistance::FormText(m_myGrid, record.yourGrid);
    if (!text.endsWith(QLatin1String("Unknown")) && !record.comment.contains(QLatin1String("Distance:"))) {
        const QString comment = record.comment.trimmed();
        record.comment = comment.isEmpty() ? text : comment + QLatin1Char(' ') + text;
    }
    return record;
}

// --- Commands --------------------------------------------------------------------------------------------

bool CCheckinForm::Add()
{
    const QString call = m_entry.callSign.trimmed();
    if (call.isEmpty()) {
        Q_EMIT message(kNoCallText);
        return false;
    }
    const QDate day = EntryDay();
    CCheckinRecord record = m_entry;
    // Over a correction, the new station takes only the boxes the operator typed into: the others still
    // show the corrected check-in's values, which belong to that station, not to this one.
    if (IsBound())
        for (size_t i = 0; i < std::size(kDataBoxes); ++i)
            if (!(m_typed & (1u << i)))
                (record.*kDataBoxes[i]).clear();
    record.id = 0;
    record.callSign = call;
    record.acknowledged = record.hasTraffic = record.hasComments = false;
    record.date = CDateTime(day, m_clock.Now().time());
    int id = 0;
    try {
        // The whole call against the check-ins of the day it is logged on, as stored, and those waiting.
        const std::vector<CCheckinRecord> logged = m_store.Day(day);
        for (size_t i = 0; i < logged.size(); ++i) {
            if (SameCall(logged[i].callSign, call)) {
                Q_EMIT message(AlreadyLoggedText(call, int(i) + 1));
                return false;
            }
        }
        for (const CCheckinRecord& waiting : m_waiting)
            if (SameCall(waiting.callSign, call) && waiting.date.Date() == day) {
                Q_EMIT status(QStringLiteral("%1 is waiting to be logged: %2").arg(call, WaitingText()));
                return false;
            }
        // In order: nothing goes before what waits already.
        if (m_waitForLog && !m_waiting.empty())
            throw CDBBusyException(WaitingText());
        id = m_store.Add(WithDistance(record));
    } catch (const CDBBusyException& e) {
        if (!m_waitForLog)
            return Report(e);
        // Nothing typed is lost and nothing asks for a click in the middle of the net: it waits, the boxes
        // keep it, and it goes in as soon as the log is free.
        m_waiting.push_back(WithDistance(record));
        Q_EMIT status(WaitingText());
        if (!m_retry.isActive())
            m_retry.start();
        return false;
    } catch (const std::exception& e) {
        return Report(e);
    }
    // The check-in is shown in its own day, current; the boxes are ready for the next station, with the
    // clock's time, which F5 will log it with.
    if (day != m_day) {
        m_day = day;
        Reload();
        Q_EMIT dayChanged(m_day);
    }
    m_current = RowOfId(id);
    SetNewStation(Blank(NewStationTime(day)));
    Q_EMIT rowsChanged();
    Q_EMIT currentChanged(m_current);
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
    return true;
}

bool CCheckinForm::Save()
{
    return SaveBound(false);
}

// F6. confirmed: the operator already said Yes to giving the check-in the call sign the boxes show.
bool CCheckinForm::SaveBound(bool confirmed)
{
    const QString call = m_entry.callSign.trimmed();
    if (call.isEmpty()) {
        Q_EMIT message(kNoCallText);
        return false;
    }
    if (!IsBound() && !m_rows.empty()) {
        Q_EMIT message(QStringLiteral("%1 is not in the log yet: log it with F5 (Add New). F6 saves changes "
                                      "to the check-in selected in the list.")
                           .arg(call));
        return false;
    }
    if (IsBound() && !confirmed && !SameCall(call, m_shown.callSign) &&
        Ask(QStringLiteral("Change check-in #%1 from %2 to %3?")
                .arg(RowOfId(m_boundId) + 1)
                .arg(m_shown.callSign, call),
            false) != Answer::Yes)
        return false;
    try {
        if (!IsBound()) {
            // A day without check-ins: the boxes become its first one, with the picker's date as it is.
            const int id = m_store.Add(WithDistance(m_entry));
            const QDate day = EntryDay();
            if (day != m_day) {
                m_day = day;
                Reload();
                Q_EMIT dayChanged(m_day);
            }
            const int row = RowOfId(id);
            if (row >= 0)
                ShowRow(row);
        } else {
            const std::optional<CCheckinRecord> stored = m_store.Get(m_boundId);
            if (!stored) {
                Q_EMIT message(
                    QStringLiteral("%1 is no longer in the log (it was deleted): log it again with F5.")
                        .arg(m_entry.callSign));
                SetNewStation(m_entry);
                Q_EMIT entryChanged();
                Q_EMIT stateChanged();
                return false;
            }
            // The boxes, with the flags as the list has them now.
            CCheckinRecord record = WithDistance(m_entry);
            record.id = m_boundId;
            record.acknowledged = stored->acknowledged;
            record.hasTraffic = stored->hasTraffic;
            record.hasComments = stored->hasComments;
            m_writing = true;
            m_store.Save(record, CCheckinStore::Undoable::Yes);
            m_writing = false;
            m_entry = record;
            m_shown = record;
            m_edited = false;
            const QDate day = EntryDay();
            if (day != m_day) {
                m_day = day;
                Reload();
                Q_EMIT dayChanged(m_day);
            }
            m_current = RowOfId(record.id);
        }
    } catch (const std::exception& e) {
        m_writing = false;
        return Report(e);
    }
    Q_EMIT rowsChanged();
    Q_EMIT currentChanged(m_current);
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
    return true;
}

void CCheckinForm::Clear()
{
    // The state stays: cleared boxes of a correction are saved by F6, those of a new station logged by F5.
    CCheckinRecord cleared = Blank(m_entry.date);
    cleared.id = m_entry.id;
    cleared.callSign = m_entry.callSign;
    cleared.acknowledged = m_entry.acknowledged;
    cleared.hasTraffic = m_entry.hasTraffic;
    cleared.hasComments = m_entry.hasComments;
    if (IsBound()) {
        m_entry = cleared;
        m_edited = !SameBoxes(m_entry, m_shown);
    } else {
        SetNewStation(cleared);
    }
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
}

bool CCheckinForm::CamelCase()
{
    // Only the boxes: F6 saves a correction, F5 logs a new station.
    CCheckinRecord caps = m_entry;
    caps.name = LogText::CamelCase(caps.name);
    caps.street = LogText::CamelCase(caps.street);
    caps.location = LogText::FixStateAbbreviations(LogText::CamelCase(caps.location));
    if (!SameBoxes(caps, m_entry)) {
        m_entry = caps;
        m_edited = true;
    }
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
    return true;
}

bool CCheckinForm::TakeMatch(const QString& callSign)
{
    std::optional<CCheckinRecord> newest;
    try {
        newest = LogQueries::NewestCheckin(m_store.Database(), callSign);
    } catch (const std::exception& e) {
        return Report(e);
    }
    if (!newest)
        return false;
    if (!LeaveBoxes(true))
        return false;
    // Nothing is written: the boxes show the station's newest check-in, ready for F5: its values, never its
    // identity.
    CCheckinRecord entry = Blank(NewStationTime(EntryDay()));
    entry.callSign = newest->callSign;
    for (QString CCheckinRecord::*box : kDataBoxes)
        entry.*box = (*newest).*box;
    entry.comment.clear();
    SetNewStation(entry);
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
    if (const int n = EntryOfCall(entry.callSign))
        Q_EMIT status(AlreadyLoggedText(entry.callSign, n));
    return true;
}

bool CCheckinForm::ApplyLookup(const CCallbookAnswer& answer)
{
    if (!LeaveBoxes(true))
        return false;
    CCheckinRecord entry = Blank(m_entry.date);
    entry.callSign = m_entry.callSign;
    if (answer.found) {
        const CCheckinRecord& s = answer.station;
        entry.callSign = s.callSign;
        entry.name = s.name;
        entry.street = s.street;
        entry.location = s.location;
        entry.cls = s.cls;
        entry.yourGrid = s.yourGrid;
        entry.email = s.email;
    }
    // A call the source does not know leaves no other station's name or address behind.
    SetNewStation(entry);
    Q_EMIT entryChanged();
    Q_EMIT stateChanged();
    if (!answer.statusText.isEmpty())
        Q_EMIT status(answer.statusText);
    return true;
}

int CCheckinForm::DeleteRows(const QList<int>& rows)
{
    QList<int> ids;
    for (const int row : rows)
        if (row >= 0 && row < RowCount())
            ids << m_rows[size_t(row)].id;
    if (ids.isEmpty())
        return 0;
    try {
        return m_store.Remove(ids, CCheckinStore::Undoable::Yes);
    } catch (const CLogwardenException& e) {
        Q_EMIT status(QStringLiteral("There was an error: %1").arg(e.Message()));
        return 0;
    }
}

bool CCheckinForm::SetFlag(int row, LogQueries::Flag flag, bool value)
{
    if (row < 0 || row >= RowCount())
        return false;
    try {
        return m_store.SetFlag(m_rows[size_t(row)].id, flag, value);
    } catch (const std::exception& e) {
        return Report(e);
    }
}

bool CCheckinForm::ToggleAck(int row)
{
    if (row < 0 || row >= RowCount())
        return false;
    return SetFlag(row, LogQueries::Flag::Acknowledged, !m_rows[size_t(row)].acknowledged);
}

int CCheckinForm::EntryOfCall(const QString& callSign) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (SameCall(m_rows[i].callSign, callSign))
            return int(i) + 1;
    return 0;
}

QString CCheckinForm::StateText() const
{
    if (IsBound()) {
        const int row = RowOfId(m_boundId);
        QString text = QStringLiteral("Correcting check-in #%1 (%2)").arg(row + 1).arg(m_shown.callSign);
        if (m_edited)
            text +=
                SameCall(m_entry.callSign, m_shown.callSign)
                    ? QStringLiteral(": changed, F6 saves")
                    : QStringLiteral(": call sign changed to %1, F6 asks").arg(m_entry.callSign.trimmed());
        return text;
    }
    const QString call = m_entry.callSign.trimmed();
    return call.isEmpty() ? QStringLiteral("Entering a new station")
                          : QStringLiteral("Entering a new station: %1").arg(call);
}

QString CCheckinForm::CountText() const
{
    const QString day = m_day.toString(QStringLiteral("MM/dd/yyyy"));
    return RowCount() == 1 ? QStringLiteral("1 check-in on %1").arg(day)
                           : QStringLiteral("%1 check-ins on %2").arg(RowCount()).arg(day);
}

QStringList CCheckinForm::Matches(const QString& prefix)
{
    try {
        return LogQueries::MatchCallSigns(m_store.Database(), prefix);
    } catch (const CLogwardenException& e) {
        Q_EMIT status(QStringLiteral("There was an error: %1").arg(e.Message()));
        return {};
    }
}

// --- What the store announces ----------------------------------------------------------------------------

void CCheckinForm::OnAdded(const CCheckinRecord& record)
{
    if (!record.date.IsValid() || record.date.Date() != m_day || record.duplicate)
        return;
    const auto at = std::upper_bound(m_rows.begin(), m_rows.end(), record, Earlier);
    const int row = int(at - m_rows.begin());
    m_rows.insert(at, record);
    if (m_current >= row)
        ++m_current;
    // The list selects the current row again; the boxes, the form's state and the status bar are not the
    // newcomer's.
    Q_EMIT rowsChanged();
    Q_EMIT stateChanged();
}

void CCheckinForm::OnChanged(const CCheckinRecord& record)
{
    const int row = RowOfId(record.id);
    // A check-in another operator's check-in of the station now stands for leaves the list.
    const bool ofThisDay = record.date.IsValid() && record.date.Date() == m_day && !record.duplicate;
    if (row >= 0 && ofThisDay) {
        m_rows[size_t(row)] = record;
        // A new time moves it to its place.
        const int currentId = m_current >= 0 ? m_rows[size_t(m_current)].id : 0;
        std::stable_sort(m_rows.begin(), m_rows.end(), Earlier);
        if (currentId != 0)
            m_current = RowOfId(currentId);
    } else if (row >= 0) {
        OnRemoved({record.id});
        return;
    } else if (ofThisDay) {
        OnAdded(record);
        return;
    }
    // Someone else changed the check-in the boxes show: they follow it unless the operator has typed.
    if (!m_writing && record.id == m_boundId && !m_edited) {
        m_entry = record;
        m_shown = record;
        Q_EMIT entryChanged();
    }
    Q_EMIT rowsChanged();
    Q_EMIT stateChanged();
}

void CCheckinForm::OnRemoved(const QList<int>& ids)
{
    const int currentId = Current() ? Current()->id : 0;
    const int oldCurrent = m_current;
    int before = 0;
    bool currentGone = false;
    std::vector<CCheckinRecord> kept;
    kept.reserve(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (ids.contains(m_rows[i].id)) {
            if (int(i) < oldCurrent)
                ++before;
            currentGone = currentGone || m_rows[i].id == currentId;
            continue;
        }
        kept.push_back(m_rows[i]);
    }
    if (kept.size() == m_rows.size())
        return;
    m_rows = std::move(kept);
    // The check-in before the deleted current one becomes current (the first when there is none before).
    if (m_rows.empty())
        m_current = -1;
    else if (currentGone)
        m_current = std::clamp(oldCurrent - before - 1, 0, RowCount() - 1);
    else
        m_current = RowOfId(currentId);
    // What the operator typed stays: a new station, or the edits of a correction that is still there.
    const bool keepBoxes = HoldsNewStation() || (IsBound() && m_edited && !ids.contains(m_boundId));
    if (!keepBoxes) {
        if (m_current >= 0)
            ShowRow(m_current);
        else
            SetNewStation(Blank(NewStationTime(m_day)));
        Q_EMIT entryChanged();
    }
    Q_EMIT rowsChanged();
    Q_EMIT currentChanged(m_current);
    Q_EMIT stateChanged();
}

void CCheckinForm::OnReset()
{
    m_boundId = 0;
    m_edited = false;
    ShowDay(m_day);
}
