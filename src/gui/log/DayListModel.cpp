#include "gui/log/DayListModel.h"

#include <QColor>
#include <QTimer>
#include <algorithm>

namespace {

const char* const kHeaders[CDayListModel::ColumnCount] = {"#",        "ID",       "Ack",   "Call", "Name",
                                                          "Street",   "Location", "Class", "Date", "Traffic",
                                                          "Comments", "Comments", "By"};

bool IsCheckColumn(int column)
{
    return column == CDayListModel::ColAck || column == CDayListModel::ColTraffic ||
           column == CDayListModel::ColHasComments;
}

} // namespace

void CDayListModel::SetRows(std::vector<CCheckinRecord> rows)
{
    // The same check-ins with new values (a tick, a save) keep the view's selection and scrolling.
    const bool sameRows =
        rows.size() == m_rows.size() &&
        std::equal(rows.begin(), rows.end(), m_rows.begin(),
                   [](const CCheckinRecord& a, const CCheckinRecord& b) { return a.id == b.id; });
    if (sameRows) {
        m_rows = std::move(rows);
        if (!m_rows.empty())
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    m_highlight.assign(m_rows.size(), false);
    endResetModel();
}

void CDayListModel::Flash(const QList<int>& ids)
{
    for (const int id : ids)
        m_flash.insert(id);
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::BackgroundRole});
    QTimer::singleShot(2000, this, [this, ids] {
        for (const int id : ids)
            m_flash.remove(id);
        if (!m_rows.empty())
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::BackgroundRole});
    });
}

int CDayListModel::RowOfId(int id) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == id)
            return static_cast<int>(i);
    return -1;
}

int CDayListModel::Highlight(const QString& text)
{
    m_findActive = true;
    int count = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        m_highlight[i] = m_rows[i].callSign.startsWith(text, Qt::CaseSensitive);
        count += m_highlight[i] ? 1 : 0;
    }
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, ColCall), index(rowCount() - 1, ColCall));
    return count;
}

void CDayListModel::ClearHighlight()
{
    m_findActive = false;
    m_highlight.assign(m_rows.size(), false);
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, ColCall), index(rowCount() - 1, ColCall));
}

bool CDayListModel::IsHighlighted(int row) const
{
    return row >= 0 && static_cast<size_t>(row) < m_highlight.size() && m_highlight[static_cast<size_t>(row)];
}

int CDayListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CDayListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QColor CDayListModel::RowColour(int row)
{
    static const QColor colours[3] = {QColor(249, 233, 249), QColor(233, 249, 249), QColor(249, 249, 233)};
    return colours[row % 3];
}

QVariant CDayListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const CCheckinRecord& r = m_rows[static_cast<size_t>(index.row())];
    const int col = index.column();
    const bool found = col == ColCall && m_highlight[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (col) {
        case ColNumber:
            return index.row() + 1;
        case ColId:
            return r.id;
        case ColCall:
            return r.callSign;
        case ColName:
            return r.name;
        case ColStreet:
            return r.street;
        case ColLocation:
            return r.location;
        case ColClass:
            return r.cls;
        case ColDate:
            // The day, and the time the station checked in.
            return r.date.IsValid() ? r.date.ToListText() + r.date.Time().toString(QStringLiteral(" HH:mm"))
                                    : r.date.ToListText();
        case ColComment:
            // Earlier versions began an appended distance with a blank.
            return r.comment.trimmed();
        case ColBy: {
            QString by = r.loggedBy;
            if (!r.alsoLoggedBy.isEmpty())
                by += QStringLiteral(", also logged by ") + r.alsoLoggedBy;
            if (r.conflict)
                by += QStringLiteral(" (conflict)");
            return by.trimmed();
        }
        default:
            return {};
        }
    case Qt::CheckStateRole:
        if (col == ColAck)
            return r.acknowledged ? Qt::Checked : Qt::Unchecked;
        if (col == ColTraffic)
            return r.hasTraffic ? Qt::Checked : Qt::Unchecked;
        if (col == ColHasComments)
            return r.hasComments ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::BackgroundRole:
        if (found)
            return QColor(Qt::black);
        if (r.conflict && (col == ColBy || col == ColCall))
            return QColor(255, 170, 170);
        if (m_flash.contains(r.id))
            return QColor(255, 236, 128);
        return col == ColCall && m_findActive ? QColor(Qt::white) : RowColour(index.row());
    case Qt::ForegroundRole:
        return found ? QColor(0, 255, 255) : QColor(Qt::black);
    case Qt::TextAlignmentRole:
        if (col == ColName || col == ColStreet || col == ColLocation || col == ColComment || col == ColBy)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant CDayListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(kHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags CDayListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (IsCheckColumn(index.column()))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool CDayListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !IsCheckColumn(index.column()) || index.row() >= rowCount())
        return false;
    CCheckinRecord& r = m_rows[static_cast<size_t>(index.row())];
    const bool on = value.toInt() == Qt::Checked;
    if (index.column() == ColAck)
        r.acknowledged = on;
    else if (index.column() == ColTraffic)
        r.hasTraffic = on;
    else
        r.hasComments = on;
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    Q_EMIT flagToggled(r.id, index.column(), on);
    return true;
}
