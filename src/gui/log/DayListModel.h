#pragma once

#include "core/log/CheckinRecord.h"

#include <QAbstractTableModel>
#include <QSet>
#include <vector>

// The day list: one row per check-in of the selected day, thirteen columns, three check boxes ("Ack",
// "Traffic", "Comments"), rows in three pastel colours in turn, "Call" cells of rows found by "Find Call"
// drawn cyan on black.
class CDayListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ColNumber,
        ColId,
        ColAck,
        ColCall,
        ColName,
        ColStreet,
        ColLocation,
        ColClass,
        ColDate,
        ColTraffic,
        ColHasComments,
        ColComment,
        ColBy, // who logged it, in a shared log
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<CCheckinRecord> rows);
    const std::vector<CCheckinRecord>& Rows() const { return m_rows; }
    const CCheckinRecord& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }
    int RowOfId(int id) const;

    // Marks the rows whose call sign begins with the text (case-sensitive); returns how many.
    int Highlight(const QString& text);
    void ClearHighlight();
    bool IsHighlighted(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    static QColor RowColour(int row);
    // Check-ins that other operators logged, drawn in a colour of their own for a moment.
    void Flash(const QList<int>& ids);
    bool IsFlashing(int id) const { return m_flash.contains(id); }

Q_SIGNALS:
    // A check box was ticked or cleared in the list.
    void flagToggled(int id, int column, bool value);

private:
    std::vector<CCheckinRecord> m_rows;
    std::vector<bool> m_highlight;
    QSet<int> m_flash;
    bool m_findActive = false;
};
