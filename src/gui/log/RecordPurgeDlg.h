#pragma once

#include "core/log/LogMaintenance.h"

#include <QDialog>

class CLogwardenDoc;
class QDateEdit;
class QLabel;
class QPushButton;
class QTimer;

// "Record Purge Dialog": how many check-ins the log holds, how many lie in a range of dates, and
// "Purge Selection", which deletes the check-ins of that range after the operator confirms how many will
// go. Modeless; created once and shown again, keeping its dates.
class CRecordPurgeDlg : public QDialog
{
    Q_OBJECT
public:
    // Picker changes are counted once the operator has stopped changing the date for this long.
    static constexpr int kCountDelayMs = 300;

    explicit CRecordPurgeDlg(CLogwardenDoc& doc, QWidget* parent = nullptr);

    // Counts the whole log, as on opening: the pickers show the dates of the first and the last check-in.
    void CountAll();
    // Counts again without moving the dates (when the dialog is shown again, after changes of the log).
    void Refresh();
    void OnPurgeSelection();

    QDateEdit* FromPicker() const { return m_from; }
    QDateEdit* ToPicker() const { return m_to; }
    QLabel* ContainedLabel() const { return m_contained; }
    QLabel* SelectedLabel() const { return m_selected; }
    QPushButton* PurgeButton() const { return m_purge; }
    const CPurgeSelection& Selection() const { return m_selection; }

Q_SIGNALS:
    void statusText(const QString& text);
    // Check-ins were deleted: the form shows its day again.
    void purged(long count);

private:
    void OnPickerChanged();
    void Show(const CPurgeSelection::CCount& count);
    void ShowContained(long count);
    void ShowSelected(long count);

    CLogwardenDoc& m_doc;
    CPurgeSelection m_selection;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QLabel* m_contained = nullptr;
    QLabel* m_selected = nullptr;
    QPushButton* m_purge = nullptr;
    QTimer* m_countTimer = nullptr;
    bool m_fromChanged = false;
    bool m_toChanged = false;
};
