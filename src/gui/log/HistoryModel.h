#pragma once

#include "core/log/CheckinRecord.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <vector>

class CDatabase;

// The history list: the check-ins of one call sign, or of the whole log, newest first, in twelve
// columns. Only the count is read when the list is filled; rows are read a page at a time when the view
// first shows them, so the whole log of hundreds of thousands of check-ins opens at once.
class CHistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ColNumber,
        ColId,
        ColCall,
        ColName,
        ColStreet,
        ColLocation,
        ColEmail,
        ColClass,
        ColDate,
        ColTraffic,
        ColHasComments,
        ColComment,
        ColumnCount
    };
    static const int kWidths[ColumnCount];
    static constexpr int kPageSize = 256;
    static constexpr int kMaxCachedPages = 64;

    explicit CHistoryModel(CDatabase& db, QObject* parent = nullptr);

    // Every check-in of the call sign, or the whole log with seeAll. Raises CDBException, leaving the
    // list empty.
    void Fill(const QString& callSign, bool seeAll);
    void Clear();
    long Count() const { return m_count; }
    // The check-in of a row (read from the log when its page is not at hand).
    const CCheckinRecord* Record(int row) const;
    // Rows read from the log so far, for the tests of the lazy filling.
    int PagesRead() const { return m_pagesRead; }
    // A read that failed while the view was drawing; empty when none did.
    const QString& LastError() const { return m_lastError; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<CCheckinRecord>* Page(int page) const;

    CDatabase& m_db;
    QString m_callSign;
    bool m_seeAll = false;
    long m_count = 0;
    mutable QHash<int, std::vector<CCheckinRecord>> m_pages;
    mutable QList<int> m_recent; // page numbers, most recently used last
    mutable int m_pagesRead = 0;
    mutable QString m_lastError;
};
