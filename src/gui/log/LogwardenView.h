#pragma once

#include <QDate>
#include <QWidget>

class CCheckinForm;
class CDayListModel;
class CDayListPanel;
class CEntryPanel;
class CLogwardenDoc;
class CLookupPanel;
class QBoxLayout;
class QCalendarWidget;
class QLabel;
class QLineEdit;
class QScrollArea;
class QTabWidget;
class QTableView;
class QTimer;
struct CCommands;

// The check-in form in the right pane: the entry with its matches, the look-up buttons, the day list
// with "Find Call" and its slider, the month calendar and the clock. The rules are CCheckinForm's; the
// panels show its state and pass the operator's keys on to it.
class CLogwardenView : public QWidget
{
    Q_OBJECT
public:
    // Places on the form where the controls of other subsystems go.
    enum class Slot
    {
        EntryButtons,  // beside "&Clear", "Add New [F5] log", "Save Current [F6]": history and the like
        LookupButtons, // the row under them: licence and callbook look-ups
        AudioRow,      // phonetic spelling, hearing the call, volume, recording
        NetColumn,     // under the calendar: NCS label, letter ranges, transmitter
        NetButtons,    // the row at the foot of the net column: mail, net report
        SidePanel,     // beside the calendar: pre-net check-ins and the station listing
        SlotCount
    };

    explicit CLogwardenView(CLogwardenDoc& doc, QWidget* parent = nullptr);
    ~CLogwardenView() override;

    // Connects the commands the form carries out and enables them.
    void ConnectCommands(CCommands& commands);
    QBoxLayout* SlotLayout(Slot slot) const;
    // A page in a tab beside the calendar's, in its place: lists the operator switches to during a net.
    void AddCalendarPage(QWidget* page, const QString& title);
    QTabWidget* CalendarTabs() const { return m_calendarTabs; }

    CCheckinForm& Form() const { return m_form; }
    CEntryPanel* Entry() const { return m_entry; }
    CDayListPanel* DayListPanel() const { return m_dayListPanel; }
    CLookupPanel* Lookups() const { return m_lookups; }
    CDayListModel* DayListModel() const;
    QTableView* DayList() const;
    QLineEdit* CallSignBox() const;
    QCalendarWidget* Calendar() const { return m_calendar; }
    QString StatusText() const { return m_status; }

    // Commands. F4 and Escape start a new station (F4 keeps one being typed).
    void OnGoHome();
    void OnEscape();
    // The cursor into the call-sign box, its text selected; the boxes stay as they are.
    void FocusCallSign();
    // Closing the window: false when the operator chose to stay with the boxes.
    bool OnClosing();
    void OnNew();
    void OnSave();
    void OnCamelCase();
    void OnClear();
    void OnSelectMatch(int index);
    // Deletes the selected check-ins; with ask, only after the operator confirms.
    void OnDeleteCheckins(bool ask);
    // Reads the day list again and shows the position (the refresh that follows every change).
    void RefreshList();

Q_SIGNALS:
    // A message for the first pane of the status bar.
    void statusText(const QString& text);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void BuildLayout();
    void SetStatus(const QString& text);
    void OnDayChanged(const QDate& day);
    void UpdateMoveCommands();
    void ShowMessage(const QString& text);

    CLogwardenDoc& m_doc;
    CCheckinForm& m_form;
    CCommands* m_commands = nullptr;
    QScrollArea* m_scroll = nullptr;
    CEntryPanel* m_entry = nullptr;
    CLookupPanel* m_lookups = nullptr;
    CDayListPanel* m_dayListPanel = nullptr;
    QCalendarWidget* m_calendar = nullptr;
    QTabWidget* m_calendarTabs = nullptr;
    QLabel* m_clockLabel = nullptr;
    QTimer* m_clockTimer = nullptr;
    QBoxLayout* m_slots[static_cast<int>(Slot::SlotCount)] = {};
    QString m_status;
};
