#include "gui/log/DayListPanel.h"

#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "gui/app/Prompt.h"
#include "gui/log/DayListModel.h"
#include "gui/widgets/UpperCaseEdit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

CDayListPanel::CDayListPanel(CCheckinForm& form, CSettings& settings, QWidget* parent)
    : QWidget(parent), m_form(form), m_settings(settings)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* findRow = new QHBoxLayout;
    m_findCall = new CUpperCaseEdit(this);
    m_findCall->setObjectName(QStringLiteral("findCall"));
    m_findCall->setMaximumWidth(120);
    m_findButton = new QPushButton(QStringLiteral("Find Call"), this);
    m_findButton->setObjectName(QStringLiteral("findCallButton"));
    m_findButton->setAutoDefault(false);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("recordSlider"));
    m_slider->setRange(1, 1);
    m_slider->setPageStep(1);
    findRow->addWidget(m_findButton);
    findRow->addWidget(m_findCall);
    findRow->addWidget(m_slider, 1);
    layout->addLayout(findRow);

    m_model = new CDayListModel(this);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("dayList"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setShowGrid(true);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumHeight(120);
    m_list->installEventFilter(this);
    for (int c = 0; c < CDayListModel::ColumnCount; ++c)
        m_list->setColumnWidth(c, m_settings.Get(Setting::ColumnWidth[c]));
    // What the operator looks at during a net comes first, so that it fits beside the calendar: the three
    // boxes, the call, the name and the time; the comment and the address follow.
    QHeaderView* header = m_list->horizontalHeader();
    const int order[] = {CDayListModel::ColNumber,      CDayListModel::ColAck,      CDayListModel::ColTraffic,
                         CDayListModel::ColHasComments, CDayListModel::ColCall,     CDayListModel::ColName,
                         CDayListModel::ColDate,        CDayListModel::ColBy,       CDayListModel::ColComment,
                         CDayListModel::ColClass,       CDayListModel::ColLocation, CDayListModel::ColStreet,
                         CDayListModel::ColId};
    for (int visual = 0; visual < CDayListModel::ColumnCount; ++visual)
        header->moveSection(header->visualIndex(order[visual]), visual);
    layout->addWidget(m_list, 1);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(250);
    connect(m_refreshTimer, &QTimer::timeout, this, &CDayListPanel::Refresh);

    connect(&m_form, &CCheckinForm::rowsChanged, this, &CDayListPanel::OnRowsChanged);
    connect(&m_form, &CCheckinForm::currentChanged, this, &CDayListPanel::OnCurrentChanged);
    connect(&m_form, &CCheckinForm::dayChanged, this, [this] {
        m_announce = true;
        // The rows of another day must not be taken for this one's: the list empties at once.
        m_model->SetRows({});
        StartRefreshTimer();
    });
    connect(m_model, &CDayListModel::flagToggled, this, [this](int id, int column, bool value) {
        // Written at once: a tick survives closing the program right after it.
        using LogQueries::Flag;
        const Flag flag = column == CDayListModel::ColAck       ? Flag::Acknowledged
                          : column == CDayListModel::ColTraffic ? Flag::HasTraffic
                                                                : Flag::HasComments;
        m_form.SetFlag(m_form.RowOfId(id), flag, value);
    });
    connect(m_findCall, &QLineEdit::textChanged, this, &CDayListPanel::OnFindTextChanged);
    connect(m_findButton, &QPushButton::clicked, this, [this] {
        m_findCall->clear();
        m_findCall->setFocus();
    });
    connect(m_slider, &QSlider::valueChanged, this, [this](int p) {
        if (!m_syncing)
            MoveTo(p - 1);
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && current.isValid() && current.row() != m_form.CurrentRow())
                    MoveTo(current.row());
            });
    // A click on the row that is current shows it again (the boxes may hold the next station).
    connect(m_list, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (m_refused)
            return; // the press that made this click offered the row, and the operator stayed
        if (index.isValid() && !m_form.IsBound())
            MoveTo(index.row());
    });
    // A tick in a box of the list is only a tick: it neither selects the row nor changes the boxes.
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            Q_EMIT rowActivated(index.row());
    });
}

void CDayListPanel::MoveTo(int row)
{
    m_refused = false;
    if (m_form.MoveTo(row))
        return;
    // The operator stayed with the boxes: the list goes back to the row that stays current, once the
    // view has finished with the click that offered the other one.
    m_refused = true;
    QTimer::singleShot(0, this, [this] { SelectCurrent(); });
}

bool CDayListPanel::IsTickColumn(int column)
{
    return column == CDayListModel::ColAck || column == CDayListModel::ColTraffic ||
           column == CDayListModel::ColHasComments;
}

void CDayListPanel::StartRefreshTimer()
{
    m_refreshTimer->start();
}

void CDayListPanel::OnRowsChanged()
{
    m_model->SetRows(m_form.Rows());
    if (!m_findCall->text().isEmpty())
        m_model->Highlight(m_findCall->text());
    SelectCurrent();
    // The position follows a moment later, as after every change of records.
    StartRefreshTimer();
}

void CDayListPanel::Refresh()
{
    m_refreshTimer->stop();
    if (m_model->rowCount() != m_form.RowCount())
        OnRowsChanged();
    m_refreshTimer->stop();
    ShowPosition();
}

void CDayListPanel::OnCurrentChanged(int)
{
    // A move, F5 or a deletion: the position is shown after the refresh. Check-ins others add (the
    // pre-net move, a pull) leave the status bar to the one who added them.
    m_announce = true;
    SelectCurrent();
}

void CDayListPanel::SelectCurrent()
{
    m_syncing = true;
    const int count = m_form.RowCount();
    const int row = m_form.CurrentRow();
    m_slider->setRange(1, std::max(1, count));
    m_slider->setValue(row >= 0 ? row + 1 : 1);
    if (row >= 0 && row < m_model->rowCount()) {
        // The current check-in's row is the selected one, unless the operator selected several.
        if (m_list->selectionModel()->selectedRows().size() < 2 ||
            !m_list->selectionModel()->isRowSelected(row, {})) {
            m_list->selectionModel()->setCurrentIndex(
                m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        m_list->scrollTo(m_model->index(row, CDayListModel::ColCall), QAbstractItemView::EnsureVisible);
    } else {
        m_list->selectionModel()->clear();
    }
    m_syncing = false;
}

void CDayListPanel::ShowPosition()
{
    const int count = m_form.RowCount();
    const int row = m_form.CurrentRow();
    SelectCurrent();
    if (!m_announce)
        return;
    m_announce = false;
    if (count == 0)
        Q_EMIT status(QStringLiteral("No Checkins Recorded for selected Date"));
    else if (row >= 0)
        Q_EMIT status(QStringLiteral("Record %1 of %2").arg(row + 1).arg(count));
}

void CDayListPanel::OnFindTextChanged(const QString& text)
{
    if (text.isEmpty()) {
        m_model->ClearHighlight();
        m_announce = true;
        Refresh();
        return;
    }
    m_list->setUpdatesEnabled(false);
    const int found = m_model->Highlight(text);
    for (int r = 0; r < m_model->rowCount(); ++r)
        if (m_model->IsHighlighted(r))
            m_list->scrollTo(m_model->index(r, CDayListModel::ColCall));
    m_list->setUpdatesEnabled(true);
    Q_EMIT status(QStringLiteral("%1 of %2 match").arg(found).arg(m_model->rowCount()));
}

void CDayListPanel::DeleteSelected(bool ask)
{
    QList<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    // The question names the stations: a slip of the mouse onto another row shows before it is too late.
    QStringList calls;
    for (const int row : rows)
        calls << QStringLiteral("#%1 %2").arg(row + 1).arg(
            m_model->index(row, CDayListModel::ColCall).data().toString());
    if (ask && !Prompt::Ask(this, QStringLiteral("Do you really want to delete the selected record(s)?\n\n%1")
                                      .arg(calls.join(QStringLiteral(", ")))))
        return;
    m_form.DeleteRows(rows);
    StartRefreshTimer();
}

void CDayListPanel::SaveColumnWidths()
{
    for (int c = 0; c < CDayListModel::ColumnCount; ++c)
        m_settings.Set(Setting::ColumnWidth[c], m_list->columnWidth(c));
}

bool CDayListPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress)
        m_refused = false;
    if (watched == m_list->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
         event->type() == QEvent::MouseButtonDblClick)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && index.isValid() && IsTickColumn(index.column())) {
            if (event->type() == QEvent::MouseButtonPress) {
                const bool ticked = m_model->data(index, Qt::CheckStateRole).toInt() == Qt::Checked;
                m_model->setData(index, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            }
            return true;
        }
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Delete) {
            DeleteSelected(true);
            return true;
        }
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Space) {
            const QModelIndexList rows = m_list->selectionModel()->selectedRows();
            if (rows.size() == 1)
                m_form.ToggleAck(rows.first().row());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
