#include "gui/log/RecordPurgeDlg.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/log/CheckinQuery.h"
#include "core/log/CheckinStore.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/Prompt.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString UsDate(const QDate& d)
{
    return d.toString(QStringLiteral("MM/dd/yyyy"));
}

} // namespace

CRecordPurgeDlg::CRecordPurgeDlg(CLogwardenDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_selection(doc.Clock().Today(), doc.Clock().Today())
{
    setObjectName(QStringLiteral("recordPurgeDialog"));
    setWindowTitle(QStringLiteral("Record Purge Dialog"));
    setModal(false);

    auto makePicker = [this](const char* name) {
        auto* p = new QDateEdit(m_doc.Clock().Today(), this);
        p->setObjectName(QString::fromLatin1(name));
        p->setCalendarPopup(true);
        p->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
        p->setMinimumDate(QDate(1900, 1, 1));
        return p;
    };
    m_from = makePicker("purgeFrom");
    m_to = makePicker("purgeTo");
    m_contained = new QLabel(QStringLiteral("Number of records in database:"), this);
    m_contained->setObjectName(QStringLiteral("purgeContained"));
    m_selected = new QLabel(QStringLiteral("Number of records SELECTED from database:"), this);
    m_selected->setObjectName(QStringLiteral("purgeSelected"));
    m_purge = new QPushButton(QStringLiteral("Purge Selection"), this);
    m_purge->setObjectName(QStringLiteral("purgeSelection"));
    m_purge->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Select FROM date:"), m_from);
    form->addRow(QStringLiteral("Select TO date:"), m_to);
    layout->addLayout(form);
    layout->addWidget(m_contained);
    layout->addWidget(m_selected);
    auto* row = new QHBoxLayout;
    row->addWidget(m_purge);
    row->addStretch(1);
    row->addWidget(buttons);
    layout->addLayout(row);

    m_countTimer = new QTimer(this);
    m_countTimer->setSingleShot(true);
    m_countTimer->setInterval(kCountDelayMs);
    connect(m_countTimer, &QTimer::timeout, this, &CRecordPurgeDlg::OnPickerChanged);
    connect(m_from, &QDateEdit::dateChanged, this, [this] {
        m_fromChanged = true;
        m_countTimer->start();
    });
    connect(m_to, &QDateEdit::dateChanged, this, [this] {
        m_toChanged = true;
        m_countTimer->start();
    });
    connect(m_purge, &QPushButton::clicked, this, &CRecordPurgeDlg::OnPurgeSelection);
    // OK and Cancel only hide the dialog; nothing but "Purge Selection" deletes.
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::hide);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
}

void CRecordPurgeDlg::Show(const CPurgeSelection::CCount& count)
{
    if (!count.first.isValid())
        return; // nothing counted: the dates stay as chosen
    const QSignalBlocker blockFrom(m_from), blockTo(m_to);
    m_from->setDate(count.first);
    m_to->setDate(count.last);
}

void CRecordPurgeDlg::ShowContained(long count)
{
    m_contained->setText(QStringLiteral("Number of records CONTAINED in database : %1").arg(count));
}

void CRecordPurgeDlg::ShowSelected(long count)
{
    m_selected->setText(QStringLiteral("Number of records SELECTED from database: %1").arg(count));
}

void CRecordPurgeDlg::CountAll()
{
    m_countTimer->stop();
    m_fromChanged = m_toChanged = false;
    Prompt::Guard(this, [&] {
        const CPurgeSelection::CCount count = m_selection.CountAll(m_doc.LogReader());
        Show(count);
        ShowContained(count.count);
    });
}

void CRecordPurgeDlg::Refresh()
{
    if (m_countTimer->isActive())
        OnPickerChanged();
    Prompt::Guard(this, [&] {
        CDatabase& db = m_doc.LogReader();
        ShowContained(CheckinQuery::Count(db, {}));
        if (!m_selection.IsWholeLog())
            ShowSelected(m_selection.Recount(db));
    });
}

void CRecordPurgeDlg::OnPickerChanged()
{
    m_countTimer->stop();
    const bool from = m_fromChanged, to = m_toChanged;
    m_fromChanged = m_toChanged = false;
    Prompt::Guard(this, [&] {
        CDatabase& db = m_doc.LogReader();
        CPurgeSelection::CCount count;
        // Both pickers may have changed before the count; each becomes its bound.
        if (from)
            count = m_selection.SetFrom(db, m_from->date());
        if (to)
            count = m_selection.SetTo(db, m_to->date());
        if (!from && !to)
            return;
        Show(count);
        ShowSelected(count.count);
    });
}

void CRecordPurgeDlg::OnPurgeSelection()
{
    if (m_countTimer->isActive())
        OnPickerChanged();
    Prompt::Guard(this, [&] {
        CDatabase& db = m_doc.LogReader();
        // Counted again now: the log may have grown since the dates were chosen.
        const long count = m_selection.Recount(db);
        if (count == 0) {
            Q_EMIT statusText(QStringLiteral("No check-ins in the selected range: nothing to purge."));
            return;
        }
        const QString question =
            m_selection.IsWholeLog()
                ? QStringLiteral("Purge all %1 check-in(s) of the log?\n\nThey cannot be restored.")
                      .arg(count)
                : QStringLiteral("Purge the %1 check-in(s) dated from %2 to %3?\n\nThey cannot be restored.")
                      .arg(count)
                      .arg(UsDate(m_selection.From()), UsDate(m_selection.To()));
        if (!Prompt::Ask(this, question))
            return;
        const long deleted = m_doc.Store().Purge(m_selection);
        Q_EMIT purged(deleted);
        Q_EMIT statusText(QStringLiteral("%1 check-in(s) purged.").arg(deleted));
        Refresh();
    });
}
