#include "gui/log/HistoryModel.h"

#include "core/Exceptions.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"
#include "gui/log/DayListModel.h"

#include <QColor>

const int CHistoryModel::kWidths[ColumnCount] = {40, 40, 80, 180, 180, 180, 180, 40, 80, 40, 40, 500};

namespace {

const char* const kHeaders[CHistoryModel::ColumnCount] = {"#",      "ID",       "Call",     "Name",
                                                          "Street", "Location", "eMail",    "Class",
                                                          "Date",   "Traffic",  "Comments", "Comments"};

QString TrueFalse(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

CHistoryModel::CHistoryModel(CDatabase& db, QObject* parent) : QAbstractTableModel(parent), m_db(db) {}

void CHistoryModel::Clear()
{
    beginResetModel();
    m_count = 0;
    m_pages.clear();
    m_recent.clear();
    endResetModel();
}

void CHistoryModel::Fill(const QString& callSign, bool seeAll)
{
    beginResetModel();
    m_callSign = callSign;
    m_seeAll = seeAll;
    m_count = 0;
    m_pages.clear();
    m_recent.clear();
    m_lastError.clear();
    try {
        m_count = CheckinQuery::Count(m_db, seeAll ? CQueryFilter{} : LogFilter::CallSignEquals(callSign));
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

const std::vector<CCheckinRecord>* CHistoryModel::Page(int page) const
{
    if (const auto it = m_pages.constFind(page); it != m_pages.constEnd()) {
        m_recent.removeOne(page);
        m_recent.append(page);
        return &*it;
    }
    std::vector<CCheckinRecord> rows;
    rows.reserve(kPageSize);
    try {
        CheckinQuery::ForEach(
            m_db, m_seeAll ? CQueryFilter{} : LogFilter::CallSignEquals(m_callSign),
            QStringLiteral("ID DESC"), [&rows](const CCheckinRecord& r) { rows.push_back(r); }, kPageSize,
            static_cast<long>(page) * kPageSize);
    } catch (const CLogwardenException& e) {
        m_lastError = e.Message();
        return nullptr;
    }
    ++m_pagesRead;
    if (m_pages.size() >= kMaxCachedPages && !m_recent.isEmpty())
        m_pages.remove(m_recent.takeFirst());
    m_recent.append(page);
    return &*m_pages.insert(page, std::move(rows));
}

const CCheckinRecord* CHistoryModel::Record(int row) const
{
    if (row < 0 || row >= m_count)
        return nullptr;
    const std::vector<CCheckinRecord>* page = Page(row / kPageSize);
    const size_t i = static_cast<size_t>(row % kPageSize);
    return page && i < page->size() ? &(*page)[i] : nullptr;
}

int CHistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_count);
}

int CHistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CHistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count)
        return {};
    const int col = index.column();
    switch (role) {
    case Qt::BackgroundRole:
        return CDayListModel::RowColour(index.row());
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    case Qt::TextAlignmentRole:
        if (col == ColName || col == ColStreet || col == ColLocation || col == ColComment)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignCenter);
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    if (col == ColNumber)
        return index.row() + 1;
    const CCheckinRecord* r = Record(index.row());
    if (!r)
        return {};
    switch (col) {
    case ColId:
        return r->id;
    case ColCall:
        return r->callSign;
    case ColName:
        return r->name;
    case ColStreet:
        return r->street;
    case ColLocation:
        return r->location;
    case ColEmail:
        return r->email;
    case ColClass:
        return r->cls;
    case ColDate:
        return r->date.ToListText();
    case ColTraffic:
        return TrueFalse(r->hasTraffic);
    case ColHasComments:
        return TrueFalse(r->hasComments);
    case ColComment:
        return r->comment;
    default:
        return {};
    }
}

QVariant CHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(kHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}
