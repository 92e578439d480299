#pragma once

#include <QWidget>

class CCheckinForm;
class CDayListModel;
class CSettings;
class CUpperCaseEdit;
class QPushButton;
class QSlider;
class QTableView;
class QTimer;

// The day list with "Find Call" and the record slider: a view of CCheckinForm's rows. A click, the slider
// and the move commands make a row current through the form; the boxes tick at once; Delete asks, then
// deletes the selected rows; Space ticks "Ack" of the selected row.
class CDayListPanel : public QWidget
{
    Q_OBJECT
public:
    CDayListPanel(CCheckinForm& form, CSettings& settings, QWidget* parent = nullptr);

    QTableView* List() const { return m_list; }
    CDayListModel* Model() const { return m_model; }

    // Reads the rows from the form again, keeping the selection and highlights, then shows the position.
    void Refresh();
    // The position in the status bar and the slider; "No Checkins Recorded for selected Date" on an
    // empty day.
    void ShowPosition();
    // Deletes the selected rows; with ask, only after the operator says Yes. Nothing is deleted when no
    // row is selected.
    void DeleteSelected(bool ask);
    void SaveColumnWidths();
    // Starts the one-shot refresh that follows a change of the day.
    void StartRefreshTimer();

Q_SIGNALS:
    void status(const QString& text);
    // A row was double-clicked (the history of its call sign).
    void rowActivated(int row);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void OnRowsChanged();
    void OnCurrentChanged(int row);
    void OnFindTextChanged(const QString& text);
    void SelectCurrent();
    void MoveTo(int row);
    static bool IsTickColumn(int column);

    CCheckinForm& m_form;
    CSettings& m_settings;
    CUpperCaseEdit* m_findCall = nullptr;
    QPushButton* m_findButton = nullptr;
    QSlider* m_slider = nullptr;
    QTableView* m_list = nullptr;
    CDayListModel* m_model = nullptr;
    QTimer* m_refreshTimer = nullptr;
    bool m_syncing = false; // the panel itself is moving the selection or the slider
    bool m_refused = false; // the operator stayed with the boxes when a row was offered
    bool m_announce = true; // the next position display goes to the status bar
};
