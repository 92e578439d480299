#include "gui/log/LogwardenView.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/licdb/FccLookup.h"
#include "core/log/GridDistance.h"
#include "core/log/LogFilter.h"
#include "core/log/LogQueries.h"
#include "core/log/LogText.h"
#include "core/log/LogwardenSet.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/licdb/FccWebPages.h"
#include "gui/log/DayListModel.h"
#include "gui/widgets/UpperCaseEdit.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QTextCharFormat>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QFont BoldFont(const QWidget* w)
{
    QFont f = w->font();
    f.setPointSize(10);
    f.setBold(true);
    return f;
}

} // namespace

CLogwardenView::CLogwardenView(CLogwardenDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_settings(doc.Settings()), m_clock(doc.Clock())
{
    setObjectName(QStringLiteral("checkinForm"));
    BuildLayout();
    BuildLookupButtons();

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(250);
    connect(m_refreshTimer, &QTimer::timeout, this, &CLogwardenView::RefreshList);

    m_clockTimer = new QTimer(this);
    m_clockTimer->setInterval(1000);
    connect(m_clockTimer, &QTimer::timeout, this, [this] {
        m_clockLabel->setText(m_clock.Now().toString(QStringLiteral("HH:mm:ss")));
    });
}

CLogwardenView::~CLogwardenView() = default;

void CLogwardenView::BuildLayout()
{
    // Like a form of fixed design, the pane scrolls when the window is made smaller than the form.
    auto* frameLayout = new QVBoxLayout(this);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    frameLayout->addWidget(scroll);
    auto* page = new QWidget(scroll);
    scroll->setWidget(page);
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(4, 4, 4, 4);

    // Upper part: the check-in's boxes with the matches beside them.
    auto* top = new QHBoxLayout;
    outer->addLayout(top);

    auto* entry = new QGridLayout;
    entry->setHorizontalSpacing(6);
    entry->setVerticalSpacing(3);
    top->addLayout(entry, 3);
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };

    m_callSign = new CUpperCaseEdit(this);
    named(m_callSign, "callSign");
    QFont callFont = m_callSign->font();
    callFont.setPointSize(callFont.pointSize() + 3);
    callFont.setBold(true);
    m_callSign->setFont(callFont);
    m_name = qobject_cast<QLineEdit*>(named(new QLineEdit(this), "name"));
    m_addr1 = qobject_cast<QLineEdit*>(named(new QLineEdit(this), "addr1"));
    m_addr2 = qobject_cast<QLineEdit*>(named(new QLineEdit(this), "addr2"));
    m_email = qobject_cast<QLineEdit*>(named(new QLineEdit(this), "email"));
    m_class = qobject_cast<QLineEdit*>(named(new QLineEdit(this), "class"));
    for (QLineEdit* e : {m_name, m_addr1, m_addr2, m_email})
        e->setMinimumWidth(200);
    m_callSign->setMinimumWidth(150);
    m_class->setMaximumWidth(60);
    m_yourGrid = new CUpperCaseEdit(this);
    named(m_yourGrid, "yourGrid");
    m_yourGrid->setMaximumWidth(90);
    m_myGrid = qobject_cast<QLineEdit*>(named(new QLineEdit(this), "myGrid"));
    m_myGrid->setMaximumWidth(90);
    m_comments = new QPlainTextEdit(this);
    named(m_comments, "comments");
    m_comments->setTabChangesFocus(true);
    m_comments->setMaximumHeight(70);
    m_date = new QDateTimeEdit(this);
    named(m_date, "datePicker");
    m_date->setTimeSpec(Qt::UTC);
    m_date->setDisplayFormat(QStringLiteral("dddd, MMMM d, yyyy"));
    m_date->setCalendarPopup(true);
    m_time = new QTimeEdit(this);
    named(m_time, "timePicker");
    m_time->setTimeSpec(Qt::UTC);
    m_time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_distance = new QLabel(QStringLiteral("Distance: Unknown"), this);
    named(m_distance, "distance");
    m_distance->setFont(BoldFont(this));

    int row = 0;
    entry->addWidget(label(QStringLiteral("Call Sign [F4]:"), m_callSign), row, 0);
    entry->addWidget(m_callSign, row, 1);
    entry->addWidget(label(QStringLiteral("Date :"), m_date), row, 2);
    entry->addWidget(m_date, row, 3);
    ++row;
    entry->addWidget(label(QStringLiteral("Name :"), m_name), row, 0);
    entry->addWidget(m_name, row, 1);
    entry->addWidget(label(QStringLiteral("Time :"), m_time), row, 2);
    entry->addWidget(m_time, row, 3, Qt::AlignLeft);
    ++row;
    entry->addWidget(label(QStringLiteral("Addr1 :"), m_addr1), row, 0);
    entry->addWidget(m_addr1, row, 1);
    entry->addWidget(label(QStringLiteral("Class :"), m_class), row, 2);
    entry->addWidget(m_class, row, 3, Qt::AlignLeft);
    ++row;
    entry->addWidget(label(QStringLiteral("Addr2 :"), m_addr2), row, 0);
    entry->addWidget(m_addr2, row, 1);
    entry->addWidget(label(QStringLiteral("Your  Grid:"), m_yourGrid), row, 2);
    entry->addWidget(m_yourGrid, row, 3, Qt::AlignLeft);
    ++row;
    entry->addWidget(label(QStringLiteral("Email:"), m_email), row, 0);
    entry->addWidget(m_email, row, 1);
    entry->addWidget(label(QStringLiteral("My Grid:"), m_myGrid), row, 2);
    entry->addWidget(m_myGrid, row, 3, Qt::AlignLeft);
    ++row;
    entry->addWidget(label(QStringLiteral("Comments:"), m_comments), row, 0, Qt::AlignTop);
    entry->addWidget(m_comments, row, 1);
    entry->addWidget(m_distance, row, 2, 1, 2, Qt::AlignTop);
    ++row;
    entry->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    m_clearButton = new QPushButton(QStringLiteral("&Clear"), this);
    named(m_clearButton, "clearButton");
    // Alt+C belongs to "Camel Case"; the button keeps its underlined letter but not the key.
    m_clearButton->setShortcut(QKeySequence());
    m_addButton = new QPushButton(QStringLiteral("Add New [F5] log"), this);
    named(m_addButton, "addButton");
    m_saveButton = new QPushButton(QStringLiteral("Save Current [F6]"), this);
    named(m_saveButton, "saveButton");
    for (QPushButton* b : {m_clearButton, m_addButton, m_saveButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    m_slots[static_cast<int>(Slot::EntryButtons)] = buttons;
    buttons->addStretch(1);
    entry->addLayout(buttons, row++, 0, 1, 4);
    auto* lookups = new QHBoxLayout;
    m_slots[static_cast<int>(Slot::LookupButtons)] = lookups;
    entry->addLayout(lookups, row++, 0, 1, 4);
    auto* audio = new QHBoxLayout;
    m_slots[static_cast<int>(Slot::AudioRow)] = audio;
    entry->addLayout(audio, row++, 0, 1, 4);

    auto* matchesBox = new QVBoxLayout;
    m_matchesLabel = new QLabel(QStringLiteral("Matches :"), this);
    named(m_matchesLabel, "matchesLabel");
    m_matches = new QListWidget(this);
    named(m_matches, "matches");
    m_matches->setSortingEnabled(false);
    m_matches->setFocusPolicy(Qt::ClickFocus);
    m_matches->setMinimumWidth(110);
    m_matches->setMaximumWidth(140);
    matchesBox->addWidget(m_matchesLabel);
    matchesBox->addWidget(m_matches, 1);
    top->addLayout(matchesBox, 0);

    // Lower part: find, slider and the day list; beside them the calendar, the clock and the net
    // column, then the side panel.
    auto* lower = new QHBoxLayout;
    auto* listColumn = new QVBoxLayout;
    lower->addLayout(listColumn, 1);
    auto* calendarColumn = new QVBoxLayout;
    m_calendar = new QCalendarWidget(this);
    named(m_calendar, "calendar");
    m_calendar->setGridVisible(false);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setMinimumDate(QDate(1970, 1, 1));
    m_calendar->setMaximumHeight(200);
    calendarColumn->addWidget(m_calendar);
    m_clockLabel = new QLabel(this);
    named(m_clockLabel, "clock");
    QFont clockFont = m_clockLabel->font();
    clockFont.setPointSize(clockFont.pointSize() + 6);
    clockFont.setBold(true);
    m_clockLabel->setFont(clockFont);
    m_clockLabel->setAlignment(Qt::AlignCenter);
    calendarColumn->addWidget(m_clockLabel);
    auto* net = new QVBoxLayout;
    m_slots[static_cast<int>(Slot::NetColumn)] = net;
    calendarColumn->addLayout(net);
    calendarColumn->addStretch(1);
    lower->addLayout(calendarColumn, 0);
    auto* side = new QVBoxLayout;
    m_slots[static_cast<int>(Slot::SidePanel)] = side;
    lower->addLayout(side, 0);
    outer->addLayout(lower, 1);

    auto* findRow = new QHBoxLayout;
    m_findCall = new CUpperCaseEdit(this);
    named(m_findCall, "findCall");
    m_findCall->setMaximumWidth(120);
    m_findButton = new QPushButton(QStringLiteral("Find Call"), this);
    named(m_findButton, "findCallButton");
    m_findButton->setAutoDefault(false);
    m_slider = new QSlider(Qt::Horizontal, this);
    named(m_slider, "recordSlider");
    m_slider->setRange(1, 1);
    m_slider->setPageStep(1);
    findRow->addWidget(m_findButton);
    findRow->addWidget(m_findCall);
    findRow->addWidget(m_slider, 1);
    listColumn->addLayout(findRow);

    m_model = new CDayListModel(this);
    m_dayList = new QTableView(this);
    named(m_dayList, "dayList");
    m_dayList->setModel(m_model);
    m_dayList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_dayList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_dayList->setShowGrid(true);
    m_dayList->verticalHeader()->hide();
    m_dayList->verticalHeader()->setDefaultSectionSize(m_dayList->fontMetrics().height() + 6);
    m_dayList->horizontalHeader()->setHighlightSections(false);
    m_dayList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dayList->installEventFilter(this);
    m_dayList->setMinimumHeight(150);
    listColumn->addWidget(m_dayList, 1);

    // Wiring of the boxes.
    connect(m_callSign, &QLineEdit::textChanged, this, [this] {
        if (!m_suppressMatch)
            RebuildMatches();
    });
    for (QLineEdit* e : {static_cast<QLineEdit*>(m_callSign), m_name, m_addr1, m_addr2, m_class,
                         static_cast<QLineEdit*>(m_yourGrid), m_email})
        connect(e, &QLineEdit::textEdited, this, [this] { m_formDirty = true; });
    connect(m_comments, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            m_formDirty = true;
    });
    connect(m_yourGrid, &QLineEdit::textEdited, this, &CLogwardenView::UpdateDistance);
    connect(m_myGrid, &QLineEdit::editingFinished, this, [this] {
        m_settings.SetString(Setting::MyGrid, m_myGrid->text());
        UpdateDistance();
    });
    connect(m_matches, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!m_suppressMatch && r >= 0)
            TakeMatch(r);
    });
    connect(m_clearButton, &QPushButton::clicked, this, &CLogwardenView::OnClear);
    connect(m_addButton, &QPushButton::clicked, this, &CLogwardenView::OnNew);
    connect(m_saveButton, &QPushButton::clicked, this, &CLogwardenView::OnSave);
    connect(m_findCall, &QLineEdit::textChanged, this, &CLogwardenView::OnFindTextChanged);
    connect(m_findButton, &QPushButton::clicked, this, [this] {
        m_findCall->clear();
        m_findCall->setFocus();
    });
    connect(m_slider, &QSlider::valueChanged, this, [this](int p) {
        if (!m_updatingSlider)
            GoToRow(p - 1);
    });
    connect(m_calendar, &QCalendarWidget::selectionChanged, this, &CLogwardenView::OnCalendarChanged);
    connect(m_model, &CDayListModel::flagToggled, this, &CLogwardenView::OnFlagToggled);
    connect(m_dayList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_refreshing && current.isValid())
                    GoToRow(current.row());
            });
}

void CLogwardenView::BuildLookupButtons()
{
    QBoxLayout* row = SlotLayout(Slot::LookupButtons);
    auto add = [&](const QString& text, const char* name, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        row->addWidget(b);
        return b;
    };
    auto lookUp = [this] { OnLocalLookUp(); };
    m_localLookUpButton = add(QStringLiteral("&Local Look Up"), "localLookUpButton", lookUp);
    m_pullFccButton = add(QStringLiteral("Pull from FCC [F7]"), "pullFccButton", lookUp);
    m_fccLookupButton = add(QStringLiteral("&FCC Lookup"), "fccLookupButton", [this] { OnFccLookup(); });
    // Alt+F opens the File menu; the button keeps its underlined letter but not the key.
    m_fccLookupButton->setShortcut(QKeySequence());
    m_qrzLookupButton = add(QStringLiteral("&QRZ Lookup"), "qrzLookupButton", [this] { OnQrzLookup(); });
    row->addStretch(1);
}

QBoxLayout* CLogwardenView::SlotLayout(Slot slot) const
{
    return m_slots[static_cast<int>(slot)];
}

QLineEdit* CLogwardenView::CallSignBox() const
{
    return m_callSign;
}

CLogwardenSet& CLogwardenView::MainSet()
{
    return m_doc.GetMainSet();
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
    bind(c.recordFirst, [this] { OnRecordFirst(); });
    bind(c.recordPrev, [this] { OnRecordPrev(); });
    bind(c.recordNext, [this] { OnRecordNext(); });
    bind(c.recordLast, [this] { OnRecordLast(); });
    bind(c.deleteCheckin, [this] { OnDeleteCheckins(false); });
    bind(c.localLookUp, [this] { OnLocalLookUp(false); });
}

void CLogwardenView::SetStatus(const QString& text)
{
    m_status = text;
    Q_EMIT statusText(text);
}

void CLogwardenView::ReportError(const QString& message)
{
    QMessageBox::critical(this, QStringLiteral("Logwarden"), message);
}

QDate CLogwardenView::SelectedDate() const
{
    return LogFilter::ParseDayText(m_doc.GetSelectedDay());
}

void CLogwardenView::OnInitialUpdate()
{
    if (m_initialised)
        return;
    m_initialised = true;
    m_myGrid->setText(m_settings.GetString(Setting::MyGrid));
    for (int c = 0; c < CDayListModel::ColumnCount; ++c)
        m_dayList->setColumnWidth(c, m_settings.GetInt(Setting::ColumnWidth[c]));
    m_clockLabel->setText(m_clock.Now().toString(QStringLiteral("HH:mm:ss")));
    m_clockTimer->start();

    const QDate day = SelectedDate();
    if (day.isValid()) {
        const QSignalBlocker block(m_calendar);
        m_calendar->setSelectedDate(day);
    }
    m_calendar->setDateTextFormat(QDate(), QTextCharFormat());
    m_date->setDateTime(QDateTime(day.isValid() ? day : m_clock.Today(), QTime(0, 0), Qt::UTC));

    if (!m_doc.IsLogOpen()) {
        setEnabled(false);
        SetStatus(QStringLiteral("The log could not be opened."));
        return;
    }
    try {
        CLogwardenSet& set = MainSet();
        set.SetSort(LogSort::kId);
        set.SetFilter(LogFilter::Day(m_doc.GetSelectedDay()));
        set.Open();
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
        return;
    }
    UpdateForDay();
    UpdateDistance();
}

// --- Day selection -------------------------------------------------------------------------------------

void CLogwardenView::OnDaySelected(const QString& dayText)
{
    m_doc.SetSelectedDay(dayText);
    if (!m_initialised)
        return;
    const QDate day = LogFilter::ParseDayText(dayText);
    if (day.isValid() && day.year() >= 1970) {
        const QSignalBlocker block(m_calendar);
        m_calendar->setSelectedDate(day);
    }
    m_calendar->setDateTextFormat(QDate(), QTextCharFormat());
    UpdateForDay();
}

void CLogwardenView::OnCalendarChanged()
{
    const QDate d = m_calendar->selectedDate();
    const QString text = QString::asprintf("%04d %02d %02d", d.year(), d.month(), d.day());
    m_doc.SetSelectedDay(text);
    if (text == m_lastShownDay)
        return;
    // The tree follows the calendar, and its selection shows the day; a day outside the tree's
    // range is shown directly.
    if (m_selectTreeDay && m_selectTreeDay(text))
        return;
    UpdateForDay();
}

void CLogwardenView::UpdateForDay()
{
    if (!m_doc.IsLogOpen())
        return;
    try {
        CLogwardenSet& set = MainSet();
        if (!set.IsOpen())
            return;
        set.SetFilter(LogFilter::Day(m_doc.GetSelectedDay()));
        set.Requery();
        if (m_savedPosition >= 0 && set.GetRecordCount() > 0)
            set.SetAbsolutePosition(std::min<long>(m_savedPosition, set.GetRecordCount() - 1));
        m_savedPosition = -1;
        if (set.GetRecordCount() == 0) {
            const QDate day = SelectedDate();
            set.m_Date = day.isValid() ? CDateTime(day, QTime(0, 0)) : CDateTime();
            set.m_CallSign.clear();
            set.m_Name.clear();
            set.m_Comment.clear();
            set.m_HasComments = set.m_HasTraffic = set.m_Acknowledged = false;
            SetStatus(QStringLiteral("Ready"));
        } else {
            const long count = set.GetRecordCount();
            m_updatingSlider = true;
            m_slider->setRange(1, static_cast<int>(count));
            m_slider->setValue(1);
            m_updatingSlider = false;
            set.MoveFirst();
            SetStatus(QStringLiteral("%1 Checkins on %2").arg(count).arg(set.m_Date.ToListText()));
        }
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
    // A day's list of an earlier day must not be taken for this one while the refresh is pending.
    m_model->SetRows({});
    ShowFields();
    StartRefreshTimer();
    m_matches->setEnabled(false);
    m_lastShownDay = m_doc.GetSelectedDay();
}

// --- Showing and reading the boxes ---------------------------------------------------------------------

void CLogwardenView::ShowFields()
{
    if (!m_doc.IsLogOpen())
        return;
    const CLogwardenSet& set = MainSet();
    m_showing = true;
    m_callSign->setText(set.m_CallSign);
    m_name->setText(set.m_Name);
    m_addr1->setText(set.m_Street);
    m_addr2->setText(set.m_Location);
    m_class->setText(set.m_Class);
    m_yourGrid->setText(set.m_YourGrid);
    m_email->setText(set.m_eMailAddr);
    if (m_comments->toPlainText() != set.m_Comment)
        m_comments->setPlainText(set.m_Comment);
    if (set.m_Date.IsValid()) {
        m_date->setDateTime(set.m_Date.Value());
        m_time->setTime(set.m_Date.Time());
    }
    m_showing = false;
    m_formDirty = false;
    m_formShowsCurrent = set.GetAbsolutePosition() >= 0;
    UpdateDistance();
}

void CLogwardenView::ReadFields()
{
    CLogwardenSet& set = MainSet();
    set.m_CallSign = m_callSign->text();
    set.m_Name = m_name->text();
    set.m_Street = m_addr1->text();
    set.m_Location = m_addr2->text();
    set.m_Class = m_class->text();
    set.m_YourGrid = m_yourGrid->text();
    set.m_eMailAddr = m_email->text();
    set.m_Comment = m_comments->toPlainText();
    set.m_Date = CDateTime(m_date->dateTime());
}

void CLogwardenView::ShowCandidate(const CCheckinRecord& r)
{
    // A station about to be logged: its boxes, with an empty comment and the picker's date.
    m_showing = true;
    const bool suppress = m_suppressMatch;
    m_suppressMatch = true;
    m_callSign->setText(r.callSign);
    m_suppressMatch = suppress;
    m_name->setText(r.name);
    m_addr1->setText(r.street);
    m_addr2->setText(r.location);
    m_class->setText(r.cls);
    m_yourGrid->setText(r.yourGrid);
    m_email->setText(r.email);
    m_comments->clear();
    m_showing = false;
    m_formShowsCurrent = false;
    m_formDirty = true;
    UpdateDistance();
}

// --- Matches -------------------------------------------------------------------------------------------

void CLogwardenView::RebuildMatches()
{
    if (!m_doc.IsLogOpen())
        return;
    QStringList calls;
    try {
        calls = LogQueries::MatchCallSigns(m_doc.GetDatabase(), m_callSign->text());
    } catch (const CLogwardenException& e) {
        SetStatus(QStringLiteral("There was a error: %1").arg(e.Message()));
    }
    const bool suppress = m_suppressMatch;
    m_suppressMatch = true;
    m_matches->setEnabled(true);
    m_matches->clear();
    m_matches->addItems(calls);
    m_suppressMatch = suppress;
    m_matchesLabel->setText(QStringLiteral("%1 Matches :").arg(calls.size()));
    if (!m_showing)
        UpdateDistance();
}

void CLogwardenView::TakeMatch(int row)
{
    QListWidgetItem* item = m_matches->item(row);
    if (!item || !m_doc.IsLogOpen())
        return;
    m_suppressMatch = true;
    try {
        // Nothing is written: the boxes show the station's newest check-in, ready for F5.
        if (const auto newest = LogQueries::NewestCheckin(m_doc.GetDatabase(), item->text()))
            ShowCandidate(*newest);
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
    m_suppressMatch = false;
}

void CLogwardenView::OnSelectMatch(int index)
{
    if (index < m_matches->count()) {
        m_suppressMatch = true;
        m_matches->setCurrentRow(index);
        m_suppressMatch = false;
        TakeMatch(index);
    } else {
        LocalLookUpFallback();
    }
}

void CLogwardenView::LocalLookUpFallback()
{
    // With fewer matches than asked for, F1-F3 turn to the licence database.
    OnLocalLookUp(true);
}

void CLogwardenView::OnLocalLookUp(bool quietly)
{
    if (!m_doc.IsLogOpen())
        return;
    const QString call = m_callSign->text();
    try {
        const QString path = FccDatabasePath(m_settings);
        RequireFccDatabase(path);
        const CFccLookupResult r = FccLookUp(path, call);
        CLogwardenSet& set = MainSet();
        if (r.found) {
            OnClear();
            m_suppressMatch = true;
            m_callSign->setText(r.callSign);
            m_suppressMatch = false;
            m_name->setText(r.name);
            m_addr1->setText(r.addr1);
            m_addr2->setText(r.addr2);
            set.m_CallSign = r.callSign;
            set.m_Name = r.name;
            set.m_Street = r.addr1;
            set.m_Location = r.addr2;
        }
        m_class->setText(r.operatorClass);
        m_comments->clear();
        m_yourGrid->clear();
        set.m_Class = r.operatorClass;
        set.m_Comment.clear();
        set.m_YourGrid.clear();
        set.m_HasComments = set.m_HasTraffic = set.m_Acknowledged = false;
        set.m_Date = CDateTime(m_date->dateTime());
        for (const void* field : {static_cast<const void*>(&set.m_CallSign), static_cast<const void*>(&set.m_Name),
                                  static_cast<const void*>(&set.m_Street), static_cast<const void*>(&set.m_Location),
                                  static_cast<const void*>(&set.m_Class), static_cast<const void*>(&set.m_Comment),
                                  static_cast<const void*>(&set.m_HasComments),
                                  static_cast<const void*>(&set.m_HasTraffic),
                                  static_cast<const void*>(&set.m_Acknowledged)})
            set.SetFieldDirty(field);
        // The boxes now hold a station to be logged, not the check-in they came from.
        m_formShowsCurrent = false;
        m_formDirty = true;
        UpdateDistance();
        if (!r.found)
            SetStatus(QStringLiteral("%1 is not in the FCC licence database").arg(call));
    } catch (const CLogwardenException& e) {
        if (quietly)
            SetStatus(e.Message());
        else
            ReportError(e.Message());
    }
}

void CLogwardenView::OnFccLookup()
{
    try {
        const QString status = FccWebPages::OpenFccLicencePage(m_settings, m_callSign->text());
        if (!status.isEmpty())
            SetStatus(status);
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
}

void CLogwardenView::OnQrzLookup()
{
    FccWebPages::OpenQrzPage(m_settings, m_callSign->text());
}

// --- Commands on the current check-in ------------------------------------------------------------------

void CLogwardenView::OnGoHome()
{
    m_callSign->setFocus(Qt::ShortcutFocusReason);
    m_callSign->selectAll();
}

void CLogwardenView::OnClear()
{
    if (!m_doc.IsLogOpen())
        return;
    CLogwardenSet& set = MainSet();
    set.m_Name.clear();
    set.m_Street.clear();
    set.m_Location.clear();
    set.m_Class.clear();
    set.m_Comment.clear();
    set.m_eMailAddr.clear();
    set.m_YourGrid.clear();
    set.m_HasComments = set.m_HasTraffic = set.m_Acknowledged = false;
    set.m_Date = CDateTime(m_date->dateTime());
    set.m_CallSign = m_callSign->text();
    set.SetFieldDirty(&set.m_CallSign);
    m_suppressMatch = true;
    ShowFields();
    m_suppressMatch = false;
    m_formShowsCurrent = false;
    OnGoHome();
}

void CLogwardenView::OnNew()
{
    if (!m_doc.IsLogOpen())
        return;
    const QString call = m_callSign->text().trimmed();
    if (call.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Logwarden"),
                             QStringLiteral("Type the station's call sign first: a check-in without a call sign "
                                            "is not logged."));
        OnGoHome();
        return;
    }
    try {
        // The whole call sign against the day's check-ins as stored, not against the list, which may not
        // have been refreshed yet.
        const std::vector<CCheckinRecord> day = LogQueries::DayCheckins(m_doc.GetDatabase(), SelectedDate());
        for (size_t i = 0; i < day.size(); ++i) {
            if (LogText::SameCallSign(day[i].callSign, call)) {
                QMessageBox::information(this, QStringLiteral("Logwarden"),
                                         QStringLiteral("%1 Already logged as entry #%2").arg(call).arg(i + 1));
                return;
            }
        }
        m_callSign->setFocus();
        CLogwardenSet& set = MainSet();
        if (!set.IsEOF() && set.GetRecordCount() > 0)
            set.MoveLast();
        set.AddNew();
        ReadFields();
        set.m_CallSign = call;
        set.m_HasComments = set.m_HasTraffic = set.m_Acknowledged = false;
        set.m_Date = CDateTime(m_date->date(), m_clock.Now().time());
        set.Update(); // committed and durable before F5 returns
        set.MoveLast();
        ShowFields(); // shows the distance, and adds it to the new check-in's comment
        SaveColumnWidths();
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
    StartRefreshTimer();
}

void CLogwardenView::OnSave()
{
    if (!m_doc.IsLogOpen())
        return;
    m_callSign->setFocus();
    try {
        CLogwardenSet& set = MainSet();
        if (set.IsEOF() || set.GetAbsolutePosition() < 0) {
            set.AddNew();
            ReadFields();
            set.Update();
            set.Requery();
            if (set.GetRecordCount() > 0)
                set.MoveLast();
        } else {
            set.Edit();
            ReadFields();
            // Saving writes what the form shows, all of it.
            for (const void* field : {static_cast<const void*>(&set.m_CallSign), static_cast<const void*>(&set.m_Name),
                                      static_cast<const void*>(&set.m_Street), static_cast<const void*>(&set.m_Location),
                                      static_cast<const void*>(&set.m_Class), static_cast<const void*>(&set.m_YourGrid),
                                      static_cast<const void*>(&set.m_eMailAddr), static_cast<const void*>(&set.m_Comment),
                                      static_cast<const void*>(&set.m_Date)})
                set.SetFieldDirty(field);
            set.Update();
        }
        m_formShowsCurrent = set.GetAbsolutePosition() >= 0;
        m_formDirty = false;
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
    StartRefreshTimer();
}

void CLogwardenView::OnCamelCase()
{
    if (!m_doc.IsLogOpen())
        return;
    if (!m_formShowsCurrent) {
        // A station not logged yet: only its boxes change; nothing is written to another check-in.
        m_name->setText(LogText::CamelCase(m_name->text()));
        m_addr1->setText(LogText::CamelCase(m_addr1->text()));
        m_addr2->setText(LogText::FixStateAbbreviations(LogText::CamelCase(m_addr2->text())));
        m_formDirty = true;
        return;
    }
    try {
        CLogwardenSet& set = MainSet();
        ReadFields();
        set.Edit();
        set.m_Name = LogText::CamelCase(set.m_Name);
        set.m_Street = LogText::CamelCase(set.m_Street);
        set.m_Location = LogText::FixStateAbbreviations(LogText::CamelCase(set.m_Location));
        set.Update();
        ShowFields();
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
}

// --- Distance ------------------------------------------------------------------------------------------

void CLogwardenView::UpdateDistance()
{
    const QString text = GridDistance::FormText(m_myGrid->text(), m_yourGrid->text());
    m_distance->setText(text);
    if (!m_doc.IsLogOpen() || !m_formShowsCurrent || text.endsWith(QLatin1String("Unknown")))
        return;
    try {
        CLogwardenSet& set = MainSet();
        if (set.GetAbsolutePosition() < 0 || set.m_Comment.contains(QLatin1String("Distance:")) ||
            set.m_YourGrid != m_yourGrid->text())
            return;
        set.Edit();
        set.m_Comment += QLatin1Char(' ') + text;
        set.Update();
        m_showing = true;
        m_comments->setPlainText(set.m_Comment);
        m_showing = false;
    } catch (const CLogwardenException& e) {
        SetStatus(QStringLiteral("There was a error: %1").arg(e.Message()));
    }
}

// --- The day list --------------------------------------------------------------------------------------

void CLogwardenView::StartRefreshTimer()
{
    m_refreshTimer->start();
}

void CLogwardenView::RefreshList()
{
    m_refreshTimer->stop();
    if (!m_doc.IsLogOpen() || !MainSet().IsOpen())
        return;
    CLogwardenSet& set = MainSet();
    const QModelIndexList selected = m_dayList->selectionModel()->selectedRows();
    const int selectedRow = selected.isEmpty() ? -1 : selected.first().row();
    m_refreshing = true;
    try {
        long position = set.GetAbsolutePosition();
        std::vector<CCheckinRecord> rows;
        if (set.GetRecordCount() > 0) {
            if (position < 0) {
                set.MoveFirst();
                position = 0;
            }
            rows.reserve(static_cast<size_t>(set.GetRecordCount()));
            set.MoveFirst();
            while (!set.IsEOF()) {
                rows.push_back(set.GetRecord());
                set.MoveNext();
            }
            set.SetAbsolutePosition(std::min<long>(position, static_cast<long>(rows.size()) - 1));
        }
        m_model->SetRows(std::move(rows));
        if (!m_findCall->text().isEmpty())
            m_model->Highlight(m_findCall->text());
        if (selectedRow >= 0 && selectedRow < m_model->rowCount()) {
            m_dayList->selectRow(selectedRow);
            m_dayList->scrollTo(m_model->index(selectedRow, 0));
            m_dayList->verticalScrollBar()->setValue(m_dayList->verticalScrollBar()->value() + 300);
        }
    } catch (const CLogwardenException& e) {
        SetStatus(QStringLiteral("There was a error: %1").arg(e.Message()));
    }
    m_refreshing = false;
    ShowPosition(false);
}

void CLogwardenView::ShowPosition(bool force)
{
    if (!m_doc.IsLogOpen())
        return;
    CLogwardenSet& set = MainSet();
    m_updatingSlider = true;
    const long count = set.GetRecordCount();
    const long a = set.GetAbsolutePosition();
    if (count == 0 || a < 0) {
        m_slider->setRange(1, 1);
        m_slider->setValue(1);
        if (count == 0)
            SetStatus(QStringLiteral("No Checkins Recorded for selected Date"));
    } else {
        m_slider->setRange(1, static_cast<int>(count));
        m_slider->setValue(static_cast<int>(a + 1));
        if (a < m_model->rowCount()) {
            // The current check-in's row is the selected one, unless several rows are selected.
            if (m_dayList->selectionModel()->selectedRows().size() < 2) {
                const bool refreshing = m_refreshing;
                m_refreshing = true;
                m_dayList->selectRow(static_cast<int>(a));
                m_refreshing = refreshing;
            }
            m_dayList->scrollTo(m_model->index(static_cast<int>(a), 0));
        }
        SetStatus(QStringLiteral("Record %1 of %2").arg(a + 1).arg(count));
        if (set.m_Date.IsValid())
            m_time->setTime(set.m_Date.Time());
    }
    m_updatingSlider = false;
    UpdateMoveCommands();
    // The refresh after a change must not overwrite what the operator has begun to type.
    if (force || !m_formDirty)
        ShowFields();
}

void CLogwardenView::UpdateMoveCommands()
{
    if (!m_commands || !m_doc.IsLogOpen())
        return;
    const CLogwardenSet& set = MainSet();
    const long a = set.GetAbsolutePosition(), count = set.GetRecordCount();
    const bool notFirst = a > 0, notLast = a >= 0 && a < count - 1;
    m_commands->recordFirst->setEnabled(notFirst);
    m_commands->recordPrev->setEnabled(notFirst);
    m_commands->recordNext->setEnabled(notLast);
    m_commands->recordLast->setEnabled(notLast);
}

void CLogwardenView::GoToRow(int row)
{
    if (!m_doc.IsLogOpen() || !MainSet().IsOpen() || row < 0)
        return;
    try {
        CLogwardenSet& set = MainSet();
        if (row >= set.GetRecordCount())
            return;
        set.SetAbsolutePosition(row); // rows are in the main set's order
        ShowPosition(true);
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
}

void CLogwardenView::MoveRecord(int how)
{
    if (!m_doc.IsLogOpen())
        return;
    try {
        CLogwardenSet& set = MainSet();
        if (set.GetRecordCount() == 0)
            return;
        if ((how <= 1 && set.IsBOF()) || (how >= 2 && set.IsEOF()))
            return;
        // Edits made in the boxes of the shown check-in are saved before leaving it.
        if (m_formShowsCurrent && m_formDirty && set.GetAbsolutePosition() >= 0) {
            set.Edit();
            ReadFields();
            set.Update();
        }
        switch (how) {
        case 0:
            set.MoveFirst();
            break;
        case 1:
            set.MovePrev();
            if (set.IsBOF())
                set.MoveFirst();
            break;
        case 2:
            set.MoveNext();
            if (set.IsEOF())
                set.MoveLast();
            break;
        default:
            set.MoveLast();
            break;
        }
        const long a = set.GetAbsolutePosition();
        if (a >= 0 && a < m_model->rowCount()) {
            m_refreshing = true;
            m_dayList->selectRow(static_cast<int>(a));
            m_refreshing = false;
        }
        ShowPosition(true);
    } catch (const CLogwardenException& e) {
        ReportError(e.Message());
    }
}

void CLogwardenView::OnRecordFirst()
{
    MoveRecord(0);
}

void CLogwardenView::OnRecordPrev()
{
    MoveRecord(1);
}

void CLogwardenView::OnRecordNext()
{
    MoveRecord(2);
}

void CLogwardenView::OnRecordLast()
{
    MoveRecord(3);
}

void CLogwardenView::OnFlagToggled(int id, int column, bool value)
{
    // Written at once: a tick must survive closing the program right after it.
    using LogQueries::Flag;
    const Flag flag = column == CDayListModel::ColAck       ? Flag::Acknowledged
                      : column == CDayListModel::ColTraffic ? Flag::HasTraffic
                                                            : Flag::HasComments;
    try {
        LogQueries::SetFlag(m_doc.GetDatabase(), id, flag, value);
        CLogwardenSet& set = MainSet();
        if (set.GetCurrentKey() == id) { // keep the buffer in step with the row
            if (flag == Flag::Acknowledged)
                set.m_Acknowledged = value;
            else if (flag == Flag::HasTraffic)
                set.m_HasTraffic = value;
            else
                set.m_HasComments = value;
        }
    } catch (const CLogwardenException& e) {
        SetStatus(QStringLiteral("There was a error: %1").arg(e.Message()));
        StartRefreshTimer();
    }
}

void CLogwardenView::OnFindTextChanged(const QString& text)
{
    if (text.isEmpty()) {
        m_model->ClearHighlight();
        RefreshList();
        return;
    }
    m_dayList->setUpdatesEnabled(false);
    const int found = m_model->Highlight(text);
    for (int r = 0; r < m_model->rowCount(); ++r)
        if (m_model->IsHighlighted(r))
            m_dayList->scrollTo(m_model->index(r, CDayListModel::ColCall));
    m_dayList->setUpdatesEnabled(true);
    SetStatus(QStringLiteral("%1 of %2 match").arg(found).arg(m_model->rowCount()));
}

void CLogwardenView::OnDeleteCheckins(bool ask)
{
    if (!m_doc.IsLogOpen() || !m_dayList->hasFocus())
        return;
    CLogwardenSet& set = MainSet();
    if (!set.IsOpen() || set.GetAbsolutePosition() < 0)
        return;
    if (ask && QMessageBox::question(this, QStringLiteral("Logwarden"),
                                     QStringLiteral("Do you really want to delete the selected record(s)?"),
                                     QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    QList<int> rows;
    for (const QModelIndex& i : m_dayList->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    try {
        if (rows.size() < 2) {
            const long a = set.GetAbsolutePosition();
            set.Delete();
            // The check-in before the deleted one becomes current (the first when it was the first).
            if (set.GetRecordCount() > 0) {
                set.MoveFirst();
                for (long i = 0; i < a - 1; ++i)
                    set.MoveNext();
            }
        } else {
            // Every selected row, from the highest down, so that the lower positions stay valid.
            for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
                set.SetAbsolutePosition(*it);
                set.Delete();
            }
            if (set.GetRecordCount() > 0)
                set.MoveFirst();
        }
        ShowFields();
    } catch (const CLogwardenException& e) {
        if (!set.IsBOF() && !set.IsEOF())
            set.MovePrev();
        SetStatus(QStringLiteral("There was a error: %1").arg(e.Message()));
        ShowFields();
    }
    m_dayList->clearSelection();
    StartRefreshTimer();
}

void CLogwardenView::SaveColumnWidths()
{
    for (int c = 0; c < CDayListModel::ColumnCount; ++c)
        m_settings.SetInt(Setting::ColumnWidth[c], m_dayList->columnWidth(c));
}

bool CLogwardenView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_dayList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        OnDeleteCheckins(true);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
