#include "gui/log/EntryPanel.h"

#include "core/log/CheckinForm.h"
#include "gui/widgets/UpperCaseEdit.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QFont BoldFont(const QWidget* w)
{
    QFont f = w->font();
    f.setPointSize(10);
    f.setBold(true);
    return f;
}

template <class W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

CEntryPanel::CEntryPanel(CCheckinForm& form, QWidget* parent) : QWidget(parent), m_form(form)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    // Which check-in F5 and F6 act on, where the operator looks while typing.
    auto* stateRow = new QHBoxLayout;
    m_stateLine = Named(new QLabel(this), "stateLine");
    m_stateLine->setAutoFillBackground(true);
    m_stateLine->setContentsMargins(6, 1, 6, 1);
    QFont stateFont = m_stateLine->font();
    stateFont.setBold(true);
    m_stateLine->setFont(stateFont);
    m_countLabel = Named(new QLabel(this), "dayCount");
    m_countLabel->setFont(stateFont);
    m_countLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    stateRow->addWidget(m_stateLine, 1);
    stateRow->addWidget(m_countLabel, 0);
    column->addLayout(stateRow);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    column->addLayout(top);
    auto* entry = new QGridLayout;
    entry->setHorizontalSpacing(6);
    entry->setVerticalSpacing(3);
    top->addLayout(entry, 1);
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };

    m_callSign = Named(new CUpperCaseEdit(this), "callSign");
    QFont callFont = m_callSign->font();
    callFont.setPointSize(callFont.pointSize() + 3);
    callFont.setBold(true);
    m_callSign->setFont(callFont);
    m_name = Named(new QLineEdit(this), "name");
    m_addr1 = Named(new QLineEdit(this), "addr1");
    m_addr2 = Named(new QLineEdit(this), "addr2");
    m_email = Named(new QLineEdit(this), "email");
    m_class = Named(new QLineEdit(this), "class");
    for (QLineEdit* e : {m_name, m_addr1, m_addr2, m_email})
        e->setMinimumWidth(170);
    m_callSign->setMinimumWidth(150);
    m_class->setMaximumWidth(60);
    m_yourGrid = Named(new CUpperCaseEdit(this), "yourGrid");
    m_yourGrid->setMaximumWidth(90);
    m_myGrid = Named(new QLineEdit(this), "myGrid");
    m_myGrid->setMaximumWidth(90);
    m_comments = Named(new QPlainTextEdit(this), "comments");
    m_comments->setTabChangesFocus(true);
    m_comments->setMaximumHeight(44);
    m_date = Named(new QDateTimeEdit(this), "datePicker");
    m_date->setTimeSpec(Qt::UTC);
    m_date->setDisplayFormat(QStringLiteral("dddd, MMMM d, yyyy"));
    m_date->setCalendarPopup(true);
    m_time = Named(new QTimeEdit(this), "timePicker");
    m_time->setTimeSpec(Qt::UTC);
    m_time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_distance = Named(new QLabel(QStringLiteral("Distance: Unknown"), this), "distance");
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

    m_buttonRow = new QHBoxLayout;
    m_clearButton = Named(new QPushButton(QStringLiteral("&Clear"), this), "clearButton");
    // Alt+C belongs to "Camel Case"; the button keeps its underlined letter but not the key (Escape clears).
    m_clearButton->setShortcut(QKeySequence());
    m_clearButton->setToolTip(QStringLiteral("Empty the boxes but the call sign (Esc empties them all for a "
                                             "new station)"));
    m_addButton = Named(new QPushButton(QStringLiteral("Add New [F5] log"), this), "addButton");
    m_saveButton = Named(new QPushButton(QStringLiteral("Save Current [F6]"), this), "saveButton");
    for (QPushButton* b : {m_clearButton, m_addButton, m_saveButton}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        m_buttonRow->addWidget(b);
    }
    m_buttonRow->addStretch(1);
    entry->addLayout(m_buttonRow, row++, 0, 1, 4);

    auto* matchesBox = new QVBoxLayout;
    m_matchesLabel = Named(new QLabel(QStringLiteral("Matches :"), this), "matchesLabel");
    m_matches = Named(new QListWidget(this), "matches");
    m_matches->setSortingEnabled(false);
    m_matches->setFocusPolicy(Qt::ClickFocus);
    m_matches->setMinimumWidth(100);
    m_matches->setMaximumWidth(130);
    matchesBox->addWidget(m_matchesLabel);
    matchesBox->addWidget(m_matches, 1);
    top->addLayout(matchesBox, 0);

    // What the operator types goes to the form at once.
    connect(m_callSign, &QLineEdit::textChanged, this, [this] {
        if (m_showing)
            return;
        OnTyped();
        RebuildMatches();
    });
    for (QLineEdit* e : {m_name, m_addr1, m_addr2, m_class, static_cast<QLineEdit*>(m_yourGrid), m_email})
        connect(e, &QLineEdit::textChanged, this, [this] {
            if (!m_showing)
                OnTyped();
        });
    connect(m_comments, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            OnTyped();
    });
    connect(m_date, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& value) {
        if (!m_showing)
            m_form.SetEntryDate(value);
    });
    connect(m_myGrid, &QLineEdit::textChanged, this, [this](const QString& grid) {
        m_form.SetMyGrid(grid);
        ShowDistance();
    });
    connect(m_myGrid, &QLineEdit::editingFinished, this, [this] { Q_EMIT myGridChanged(m_myGrid->text()); });
    connect(m_matches, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!m_suppressMatch && r >= 0)
            TakeMatch(r);
    });
    connect(&m_form, &CCheckinForm::entryChanged, this, &CEntryPanel::ShowEntry);
    connect(&m_form, &CCheckinForm::dayChanged, this, [this] { m_matches->setEnabled(false); });
    connect(&m_form, &CCheckinForm::stateChanged, this, &CEntryPanel::ShowState);
    connect(&m_form, &CCheckinForm::rowsChanged, this, &CEntryPanel::OnRowsChanged);
    ShowState();

    // Up and Down in the call-sign box walk the matches, Return takes the highlighted one.
    m_callSign->installEventFilter(this);
}

QLineEdit* CEntryPanel::CallSignBox() const
{
    return m_callSign;
}

void CEntryPanel::OnTyped()
{
    CCheckinRecord e = m_form.Entry();
    e.callSign = m_callSign->text();
    e.name = m_name->text();
    e.street = m_addr1->text();
    e.location = m_addr2->text();
    e.cls = m_class->text();
    e.yourGrid = m_yourGrid->text();
    e.email = m_email->text();
    e.comment = m_comments->toPlainText();
    m_form.SetEntry(e);
    ShowDistance();
}

void CEntryPanel::ShowDistance()
{
    m_distance->setText(m_form.DistanceText());
}

void CEntryPanel::ShowState()
{
    const bool correcting = m_form.IsBound();
    m_stateLine->setText(m_form.StateText());
    // Green for a new station, amber for a correction: the two states never look alike.
    QPalette p = m_stateLine->palette();
    p.setColor(QPalette::Window, correcting ? QColor(255, 214, 153) : QColor(198, 239, 206));
    p.setColor(QPalette::WindowText, correcting ? QColor(122, 62, 0) : QColor(0, 97, 0));
    m_stateLine->setPalette(p);
    m_countLabel->setText(m_form.CountText());
}

void CEntryPanel::OnRowsChanged()
{
    // The day's calls, read once per change of the rows rather than at every key typed.
    m_dayCalls.clear();
    const std::vector<CCheckinRecord>& rows = m_form.Rows();
    for (size_t i = 0; i < rows.size(); ++i)
        m_dayCalls.insert(rows[i].callSign.trimmed().toUpper(), int(i) + 1);
    ShowState();
    MarkLoggedMatches();
}

void CEntryPanel::MarkLoggedMatches()
{
    // The calls already logged on the day stand out in the matches.
    QFont italic = m_matches->font();
    italic.setItalic(true);
    for (int r = 0; r < m_matches->count(); ++r) {
        QListWidgetItem* item = m_matches->item(r);
        const int entry = m_dayCalls.value(item->text().toUpper());
        item->setFont(entry != 0 ? italic : m_matches->font());
        item->setForeground(entry != 0 ? QBrush(Qt::gray) : QBrush());
        item->setToolTip(entry != 0 ? CCheckinForm::AlreadyLoggedText(item->text(), entry) : QString());
    }
}

void CEntryPanel::ResetMatches()
{
    // The list belongs to what was typed: another station in the boxes leaves nothing to take from it.
    m_suppressMatch = true;
    m_matches->clear();
    m_matches->setEnabled(false);
    m_suppressMatch = false;
    m_matchesLabel->setText(QStringLiteral("Matches :"));
}

void CEntryPanel::ShowEntry()
{
    const CCheckinRecord& e = m_form.Entry();
    if (!m_takingMatch && m_callSign->text() != e.callSign)
        ResetMatches();
    m_showing = true;
    auto set = [](QLineEdit* box, const QString& text) {
        if (box->text() != text)
            box->setText(text);
    };
    set(m_callSign, e.callSign);
    set(m_name, e.name);
    set(m_addr1, e.street);
    set(m_addr2, e.location);
    set(m_class, e.cls);
    set(m_yourGrid, e.yourGrid);
    set(m_email, e.email);
    if (m_comments->toPlainText() != e.comment)
        m_comments->setPlainText(e.comment);
    if (e.date.IsValid()) {
        m_date->setDateTime(e.date.Value());
        m_time->setTime(e.date.Time());
    }
    m_showing = false;
    ShowDistance();
}

void CEntryPanel::ShowTime(const QTime& time)
{
    m_time->setTime(time);
}

void CEntryPanel::GoHome()
{
    m_callSign->setFocus(Qt::ShortcutFocusReason);
    m_callSign->selectAll();
}

void CEntryPanel::RebuildMatches()
{
    const QStringList calls = m_form.Matches(m_callSign->text());
    m_suppressMatch = true;
    m_matches->setEnabled(true);
    m_matches->clear();
    m_matches->addItems(calls);
    m_suppressMatch = false;
    m_matchesLabel->setText(QStringLiteral("%1 Matches :").arg(calls.size()));
    MarkLoggedMatches();
}

void CEntryPanel::TakeMatch(int row)
{
    const QListWidgetItem* item = m_matches->item(row);
    if (!item)
        return;
    m_showing = true; // the call sign the match puts in the box does not rebuild the matches
    m_takingMatch = true;
    m_form.TakeMatch(item->text());
    ShowEntry();
    m_takingMatch = false;
    m_showing = false;
}

bool CEntryPanel::TakeMatchAt(int index)
{
    if (index >= m_matches->count())
        return false;
    m_suppressMatch = true;
    m_matches->setCurrentRow(index);
    m_suppressMatch = false;
    TakeMatch(index);
    return true;
}

void CEntryPanel::StepMatch(int step)
{
    const int count = m_matches->count();
    if (count == 0)
        return;
    const int row = m_matches->currentRow() < 0 ? (step > 0 ? 0 : count - 1)
                                                : qBound(0, m_matches->currentRow() + step, count - 1);
    m_suppressMatch = true;
    m_matches->setCurrentRow(row);
    m_matches->scrollToItem(m_matches->item(row));
    m_suppressMatch = false;
}

bool CEntryPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_callSign && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            switch (key->key()) {
            case Qt::Key_Down:
                StepMatch(1);
                return true;
            case Qt::Key_Up:
                StepMatch(-1);
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (m_matches->currentRow() >= 0) {
                    TakeMatch(m_matches->currentRow());
                    return true;
                }
                break;
            default:
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
