#include "gui/log/LogwardenView.h"

#include "core/app/Clock.h"
#include "core/app/DateText.h"
#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/Prompt.h"
#include "gui/log/DayListPanel.h"
#include "gui/log/EntryPanel.h"
#include "gui/log/LookupPanel.h"

#include <QAction>
#include <QCalendarWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

CLogwardenView::CLogwardenView(CLogwardenDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_form(doc.Form())
{
    setObjectName(QStringLiteral("checkinForm"));
    BuildLayout();

    m_clockTimer = new QTimer(this);
    m_clockTimer->setInterval(1000);
    connect(m_clockTimer, &QTimer::timeout, this,
            [this] { m_clockLabel->setText(m_doc.Clock().Now().toString(QStringLiteral("HH:mm:ss"))); });
    m_clockLabel->setText(m_doc.Clock().Now().toString(QStringLiteral("HH:mm:ss")));
    m_clockTimer->start();

    connect(&m_form, &CCheckinForm::dayChanged, this, &CLogwardenView::OnDayChanged);
    connect(&m_form, &CCheckinForm::status, this, &CLogwardenView::SetStatus);
    connect(&m_form, &CCheckinForm::message, this, &CLogwardenView::ShowMessage);
    connect(&m_form, &CCheckinForm::currentChanged, this, &CLogwardenView::UpdateMoveCommands);
    connect(&m_form, &CCheckinForm::rowsChanged, this, &CLogwardenView::UpdateMoveCommands);
    connect(m_dayListPanel, &CDayListPanel::status, this, &CLogwardenView::SetStatus);
    connect(m_lookups, &CLookupPanel::status, this, &CLogwardenView::SetStatus);
    connect(m_entry, &CEntryPanel::myGridChanged, this,
            [this](const QString& grid) { m_doc.Settings().Set(Setting::MyGrid, grid); });
    connect(m_calendar, &QCalendarWidget::selectionChanged, this,
            [this] { m_form.SelectDay(m_calendar->selectedDate()); });

    // Escape starts a new station with empty boxes (after leaving a correction as every move does).
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QAction::triggered, this, &CLogwardenView::OnEscape);
    addAction(escape);
    connect(m_entry->ClearButton(), &QPushButton::clicked, this, &CLogwardenView::OnClear);
    connect(m_entry->AddButton(), &QPushButton::clicked, this, &CLogwardenView::OnNew);
    connect(m_entry->SaveButton(), &QPushButton::clicked, this, &CLogwardenView::OnSave);

    // What the form asks before it changes a stored check-in or drops what was typed.
    m_form.SetAsker([this](const QString& question, bool cancellable) {
        using A = CCheckinForm::Answer;
        if (!cancellable)
            return Prompt::Ask(this, question) ? A::Yes : A::No;
        switch (Prompt::AskYesNoCancel(this, question)) {
        case Prompt::Choice::Yes:
            return A::Yes;
        case Prompt::Choice::No:
            return A::No;
        case Prompt::Choice::Cancel:
            break;
        }
        return A::Cancel;
    });

    m_entry->MyGridBox()->setText(m_doc.Settings().Get(Setting::MyGrid));
}

CLogwardenView::~CLogwardenView() = default;

void CLogwardenView::BuildLayout()
{
    // Like a form of fixed design, the pane scrolls when the window is made smaller than the form.
    auto* frameLayout = new QVBoxLayout(this);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    frameLayout->addWidget(m_scroll);
    auto* page = new QWidget(m_scroll);
    m_scroll->setWidget(page);
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);

    m_entry = new CEntryPanel(m_form, page);
    outer->addWidget(m_entry);
    m_slots[static_cast<int>(Slot::EntryButtons)] = m_entry->ButtonRow();
    m_lookups = new CLookupPanel(m_doc, page);
    outer->addWidget(m_lookups);
    m_slots[static_cast<int>(Slot::LookupButtons)] = m_lookups->Row();
    // The clock at the end of the look-up row, where it costs the net column no height.
    m_clockLabel = new QLabel(page);
    m_clockLabel->setObjectName(QStringLiteral("clock"));
    QFont clockFont = m_clockLabel->font();
    clockFont.setPointSize(clockFont.pointSize() + 6);
    clockFont.setBold(true);
    m_clockLabel->setFont(clockFont);
    m_clockLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lookups->Row()->addWidget(m_clockLabel);
    auto* audio = new QHBoxLayout;
    m_slots[static_cast<int>(Slot::AudioRow)] = audio;
    outer->addLayout(audio);

    // Lower part: the day list; beside it the calendar, the clock and the net column, then the side panel.
    auto* lower = new QHBoxLayout;
    m_dayListPanel = new CDayListPanel(m_form, m_doc.Settings(), page);
    lower->addWidget(m_dayListPanel, 1);
    auto* calendarColumn = new QVBoxLayout;
    m_calendar = new QCalendarWidget(page);
    m_calendar->setObjectName(QStringLiteral("calendar"));
    m_calendar->setGridVisible(false);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setMinimumDate(QDate(1970, 1, 1));
    m_calendar->setMaximumHeight(190);
    m_calendar->setMinimumHeight(136);
    // The calendar shares its place with the lists other subsystems keep at hand during a net (the day
    // tree chooses the day as well).
    m_calendarTabs = new QTabWidget(page);
    m_calendarTabs->setObjectName(QStringLiteral("calendarTabs"));
    m_calendarTabs->setDocumentMode(true);
    m_calendarTabs->addTab(m_calendar, QStringLiteral("Calendar"));
    m_calendarTabs->tabBar()->setVisible(false); // until a second page comes
    calendarColumn->addWidget(m_calendarTabs);
    auto* net = new QVBoxLayout;
    m_slots[static_cast<int>(Slot::NetColumn)] = net;
    calendarColumn->addLayout(net);
    auto* netButtons = new QHBoxLayout;
    m_slots[static_cast<int>(Slot::NetButtons)] = netButtons;
    calendarColumn->addLayout(netButtons);
    calendarColumn->addStretch(1);
    lower->addLayout(calendarColumn, 0);
    auto* side = new QVBoxLayout;
    m_slots[static_cast<int>(Slot::SidePanel)] = side;
    lower->addLayout(side, 0);
    outer->addLayout(lower, 1);
}

void CLogwardenView::AddCalendarPage(QWidget* page, const QString& title)
{
    m_calendarTabs->addTab(page, title);
    m_calendarTabs->tabBar()->setVisible(true);
}

QBoxLayout* CLogwardenView::SlotLayout(Slot slot) const
{
    return m_slots[static_cast<int>(slot)];
}

CDayListModel* CLogwardenView::DayListModel() const
{
    return m_dayListPanel->Model();
}

QTableView* CLogwardenView::DayList() const
{
    return m_dayListPanel->List();
}

QLineEdit* CLogwardenView::CallSignBox() const
{
    return m_entry->CallSignBox();
}

void CLogwardenView::ConnectCommands(CCommands& c)
{
    m_commands = &c;
    auto bind = [](QAction* action, auto&& slot) {
        QObject::connect(action, &QAction::triggered, action, slot);
        action->setEnabled(true);
    };
    bind(c.fileNew, [this] { OnNew(); });
    bind(c.fileSave, [this] { OnSave(); });
    bind(c.camelCase, [this] { OnCamelCase(); });
    bind(c.goHome, [this] { OnGoHome(); });
    for (int i = 0; i < 3; ++i)
        bind(c.selectMatch[i], [this, i] { OnSelectMatch(i); });
    using M = CCheckinForm::Step;
    bind(c.recordFirst, [this] { m_form.Move(M::First); });
    bind(c.recordPrev, [this] { m_form.Move(M::Previous); });
    bind(c.recordNext, [this] { m_form.Move(M::Next); });
    bind(c.recordLast, [this] { m_form.Move(M::Last); });
    bind(c.deleteCheckin, [this] { OnDeleteCheckins(false); });
    bind(c.localLookUp, [this] { m_lookups->OnLocalLookUp(false); });
    UpdateMoveCommands();
}

void CLogwardenView::UpdateMoveCommands()
{
    if (!m_commands)
        return;
    const int a = m_form.CurrentRow(), count = m_form.RowCount();
    // A new station (no current row) can go into the list either way.
    const bool notFirst = count > 0 && a != 0, notLast = count > 0 && a != count - 1;
    m_commands->recordFirst->setEnabled(notFirst);
    m_commands->recordPrev->setEnabled(notFirst);
    m_commands->recordNext->setEnabled(notLast);
    m_commands->recordLast->setEnabled(notLast);
}

void CLogwardenView::OnDayChanged(const QDate& day)
{
    {
        const QSignalBlocker block(m_calendar);
        if (day.year() >= 1970)
            m_calendar->setSelectedDate(day);
    }
    m_doc.SetTitle(FormatCaptionDate(day));
}

void CLogwardenView::SetStatus(const QString& text)
{
    m_status = text;
    Q_EMIT statusText(text);
}

void CLogwardenView::ShowMessage(const QString& text)
{
    Prompt::Information(this, text);
}

void CLogwardenView::FocusCallSign()
{
    m_entry->GoHome();
    m_scroll->ensureWidgetVisible(m_entry->CallSignBox());
}

void CLogwardenView::OnGoHome()
{
    m_form.NewStation(false);
    FocusCallSign();
}

void CLogwardenView::OnEscape()
{
    m_form.NewStation(true);
    FocusCallSign();
}

bool CLogwardenView::OnClosing()
{
    return m_form.Leave();
}

bool CLogwardenView::eventFilter(QObject* watched, QEvent* event)
{
    // The window's close: what the boxes hold is saved, or dropped only after the operator said so.
    if (watched == window() && event->type() == QEvent::Close && !OnClosing()) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CLogwardenView::OnNew()
{
    FocusCallSign();
    if (m_form.Add())
        m_dayListPanel->SaveColumnWidths();
    FocusCallSign();
}

void CLogwardenView::OnSave()
{
    FocusCallSign();
    m_form.Save();
}

void CLogwardenView::OnCamelCase()
{
    m_form.CamelCase();
}

void CLogwardenView::OnClear()
{
    m_form.Clear();
    FocusCallSign();
}

void CLogwardenView::OnSelectMatch(int index)
{
    // With fewer matches than asked for, F1-F3 turn to the licence database.
    if (!m_entry->TakeMatchAt(index))
        m_lookups->OnLocalLookUp(true);
}

void CLogwardenView::OnDeleteCheckins(bool ask)
{
    if (!DayList()->hasFocus())
        return;
    m_dayListPanel->DeleteSelected(ask);
}

void CLogwardenView::RefreshList()
{
    m_dayListPanel->Refresh();
}
