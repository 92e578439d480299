#pragma once

#include <QDate>
#include <QWidget>
#include <functional>

class CClock;
struct CCheckinRecord;
class CDayListModel;
class CLogwardenDoc;
class CLogwardenSet;
class CSettings;
class CUpperCaseEdit;
class QBoxLayout;
class QCalendarWidget;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTableView;
class QTimeEdit;
class QTimer;
struct CCommands;

// The check-in form in the right pane: the boxes of the current check-in, the matches list, the day
// list with its slider, the month calendar and "Find Call".
class CLogwardenView : public QWidget
{
    Q_OBJECT
public:
    // Places on the form where the controls of other subsystems go.
    enum class Slot {
        EntryButtons,  // beside "&Clear", "Add New [F5] log", "Save Current [F6]": history and the like
        LookupButtons, // the row under them: licence and callbook look-ups
        AudioRow,      // phonetic spelling, hearing the call, volume, recording
        NetColumn,     // under the calendar: NCS label, letter ranges, transmitter, mail, net report
        SidePanel,     // beside the calendar: pre-net check-ins and the station listing
        SlotCount
    };

    explicit CLogwardenView(CLogwardenDoc& doc, QWidget* parent = nullptr);
    ~CLogwardenView() override;

    // Connects the commands the form carries out and enables them.
    void ConnectCommands(CCommands& commands);
    // Runs once, when the form is first shown: opens the main set on the selected day.
    void OnInitialUpdate();
    // The day tree selected a day ("%Y %m %d").
    void OnDaySelected(const QString& dayText);
    // How the form asks the day tree to select a day; false when the tree does not hold it.
    void SetTreeSelector(std::function<bool(const QString&)> selector) { m_selectTreeDay = std::move(selector); }

    QBoxLayout* SlotLayout(Slot slot) const;

    // Commands.
    void OnGoHome();
    void OnNew();
    void OnSave();
    void OnCamelCase();
    void OnClear();
    void OnSelectMatch(int index);
    void OnRecordFirst();
    void OnRecordPrev();
    void OnRecordNext();
    void OnRecordLast();
    // F7, "&Local Look Up", "Pull from FCC [F7]": fills the form from the FCC licence database. Quietly,
    // a failure goes to the status bar instead of a message box (F1-F3 with too few matches).
    void OnLocalLookUp(bool quietly = false);
    // "&FCC Lookup" and "&QRZ Lookup": the licence page and the callbook page in the browser.
    void OnFccLookup();
    void OnQrzLookup();
    // Deletes the selected check-ins; with ask, only after the operator confirms.
    void OnDeleteCheckins(bool ask);
    // Refreshes the day list from the main set, then the position display (timer 1).
    void RefreshList();
    // Starts the one-shot refresh that follows every change of records.
    void StartRefreshTimer();

    // The form's distance text; appends it to the current check-in's comment the first time both grids
    // are known while the form shows that check-in.
    void UpdateDistance();

    CLogwardenSet& MainSet();
    CDayListModel* DayListModel() const { return m_model; }
    QTableView* DayList() const { return m_dayList; }
    QLineEdit* CallSignBox() const;
    QString StatusText() const { return m_status; }

    // What other subsystems use to fill the form: put a call sign in the box without rebuilding the matches,
    // and show the main set's current record.
    void ShowFields();
    void ReadFields();

Q_SIGNALS:
    // A message for the first pane of the status bar.
    void statusText(const QString& text);

private:
    void BuildLayout();
    void SetStatus(const QString& text);
    void UpdateForDay();
    void OnCalendarChanged();
    void ShowPosition(bool force);
    void GoToRow(int row);
    void MoveRecord(int how);
    void RebuildMatches();
    void TakeMatch(int row);
    void ShowCandidate(const CCheckinRecord& record);
    void OnFindTextChanged(const QString& text);
    void OnFlagToggled(int id, int column, bool value);
    void SaveColumnWidths();
    void UpdateMoveCommands();
    void LocalLookUpFallback();
    void BuildLookupButtons();
    void ReportError(const QString& message);
    QDate SelectedDate() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CLogwardenDoc& m_doc;
    CSettings& m_settings;
    const CClock& m_clock;
    CCommands* m_commands = nullptr;

    CUpperCaseEdit* m_callSign = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_addr1 = nullptr;
    QLineEdit* m_addr2 = nullptr;
    QLineEdit* m_class = nullptr;
    CUpperCaseEdit* m_yourGrid = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_myGrid = nullptr;
    QPlainTextEdit* m_comments = nullptr;
    QDateTimeEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QLabel* m_distance = nullptr;
    QLabel* m_matchesLabel = nullptr;
    QListWidget* m_matches = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_localLookUpButton = nullptr;
    QPushButton* m_pullFccButton = nullptr;
    QPushButton* m_fccLookupButton = nullptr;
    QPushButton* m_qrzLookupButton = nullptr;
    QTableView* m_dayList = nullptr;
    CDayListModel* m_model = nullptr;
    QSlider* m_slider = nullptr;
    QCalendarWidget* m_calendar = nullptr;
    CUpperCaseEdit* m_findCall = nullptr;
    QPushButton* m_findButton = nullptr;
    QLabel* m_clockLabel = nullptr;
    QTimer* m_refreshTimer = nullptr;
    QTimer* m_clockTimer = nullptr;
    QBoxLayout* m_slots[static_cast<int>(Slot::SlotCount)] = {};

    std::function<bool(const QString&)> m_selectTreeDay;
    QString m_status;
    QString m_lastShownDay;
    long m_savedPosition = -1;
    bool m_initialised = false;
    bool m_suppressMatch = false;  // the form itself is putting a match into the call-sign box
    bool m_updatingSlider = false;
    bool m_refreshing = false;
    bool m_showing = false;
    // The operator has typed into the boxes since they were last filled from a record.
    bool m_formDirty = false;
    // The boxes show the main set's current check-in (not a new station being entered).
    bool m_formShowsCurrent = false;
};
