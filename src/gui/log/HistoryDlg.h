#pragma once

#include <QDialog>

class CDatabase;
class CHistoryModel;
class CSettings;
class QLabel;
class QPushButton;
class QTableView;

// "History Dialog": every check-in of one call sign, newest first, with their count; "See All Records"
// switches to the whole log and back. Modal and resizable; its rectangle is saved when it closes with OK.
class CHistoryDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kFillDelayMs = 125;

    CHistoryDlg(CDatabase& db, CSettings& settings, const QString& callSign, QWidget* parent = nullptr);
    ~CHistoryDlg() override;

    const QString& CallSign() const { return m_callSign; }
    bool IsSeeAll() const { return m_seeAll; }
    long RecordCount() const { return m_recordCount; }
    QTableView* List() const { return m_list; }
    CHistoryModel* Model() const { return m_model; }
    QLabel* CountLabel() const { return m_label; }
    QPushButton* SeeAllButton() const { return m_seeAllButton; }

    void OnSeeAll();
    // Reads the list again for the call sign, or the whole log in see-all mode.
    void Fill();
    void accept() override;

private:
    CSettings& m_settings;
    QString m_callSign;
    bool m_seeAll = false;
    long m_recordCount = 0;
    CHistoryModel* m_model = nullptr;
    QTableView* m_list = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_seeAllButton = nullptr;
};
