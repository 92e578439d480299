#include "gui/qrz/QrzPullModule.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/callbook/Callbook.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogText.h"
#include "core/web/WebRequest.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/EntryPanel.h"
#include "gui/log/LogwardenView.h"
#include "gui/qrz/QrzAccountDlg.h"

#include <QBoxLayout>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableView>

CQrzPullModule::CQrzPullModule(CMainFrame& frame, CQrzAccounts& accounts)
    : QObject(&frame), m_frame(frame), m_doc(frame.Document()), m_view(*frame.FormView()),
      m_accounts(accounts)
{
    setObjectName(QStringLiteral("qrzPullModule"));

    // Beside "Pull from FCC [F7]".
    m_button = new QPushButton(QStringLiteral("Pull from QRZ [F8]"), &m_view);
    m_button->setObjectName(QStringLiteral("pullQrzButton"));
    m_button->setAutoDefault(false);
    m_button->setFocusPolicy(Qt::TabFocus);
    QBoxLayout* row = m_view.SlotLayout(CLogwardenView::Slot::LookupButtons);
    const auto* fcc = m_view.findChild<QWidget*>(QStringLiteral("pullFccButton"));
    const int at = fcc ? row->indexOf(fcc) + 1 : std::max(0, row->count() - 1);
    row->insertWidget(at, m_button);
    connect(m_button, &QPushButton::clicked, this, &CQrzPullModule::OnPull);

    QAction* f8 = frame.Commands().qrzPull;
    connect(f8, &QAction::triggered, this, &CQrzPullModule::OnPull);
    f8->setEnabled(true);

    QTableView* list = m_view.DayList();
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
        const QModelIndex index = list->indexAt(at);
        if (index.isValid())
            PullRow(index.row());
    });

    connect(&m_doc.Store(), &CCheckinStore::checkinAdded, this, &CQrzPullModule::OnCheckinAdded);
    connect(&m_accounts, &CQrzAccounts::changed, this, [this](bool sameIdentity) {
        if (!sameIdentity)
            DropSession();
    });
}

CQrzPullModule::~CQrzPullModule() = default;

void CQrzPullModule::Status(const QString& text)
{
    m_frame.SetStatusText(text);
}

void CQrzPullModule::OnPull()
{
    const CCheckinForm& form = m_doc.Form();
    CTarget target;
    if (form.IsBound()) {
        // The check-in is filled as stored: its own call sign, not what may have been typed over it.
        const int row = form.RowOfId(form.BoundId());
        target.checkinId = form.BoundId();
        target.callSign = row >= 0 ? form.Rows()[size_t(row)].callSign : form.Entry().callSign;
    } else if (!form.Entry().callSign.trimmed().isEmpty()) {
        target.callSign = form.Entry().callSign;
    } else if (const CCheckinRecord* current = form.Current()) {
        target.checkinId = current->id;
        target.callSign = current->callSign;
    }
    target.callSign = target.callSign.trimmed().toUpper();
    if (target.callSign.isEmpty()) {
        Status(QStringLiteral("Type a call sign, or select a check-in, to pull from QRZ."));
        return;
    }
    Submit(target);
}

void CQrzPullModule::PullRow(int row)
{
    CCheckinForm& form = m_doc.Form();
    if (row < 0 || row >= form.RowCount())
        return;
    const CCheckinRecord checkin = form.Rows()[size_t(row)];
    if (!form.MoveTo(row))
        return; // the operator stayed with what the boxes hold
    Submit({checkin.id, checkin.callSign.trimmed().toUpper()});
}

void CQrzPullModule::Submit(const CTarget& target)
{
    // Counted as pending while the account is made sure of.
    const int token = ++m_nextToken;
    m_pending.insert(token, target);
    m_accounts.Ensure(&m_frame, [this, token](const std::optional<CQRZAccount>& account) {
        if (!m_pending.contains(token))
            return;
        if (!account) {
            m_pending.remove(token);
            Status(QStringLiteral("No QRZ account: nothing was asked of QRZ."));
            return;
        }
        Ask(token, *account);
    });
}

void CQrzPullModule::Ask(int token, const CQRZAccount& account)
{
    const CTarget target = m_pending.value(token);
    if (!m_worker) {
        // Answers come on the worker's thread; they are applied on the window's.
        m_worker = std::make_unique<CQRZLookupWorker>(
            std::make_unique<CWebRequest>(CWebOptions::FromSettings(m_doc.Settings())),
            m_doc.Settings().DataFolder(), [this](const CQRZLookupWorker::CResult& result) {
                QMetaObject::invokeMethod(
                    this, [this, result] { OnResult(result); }, Qt::QueuedConnection);
            });
    }
    CQRZLookupWorker::CRequest request;
    request.callSign = target.callSign;
    request.account = account;
    request.homeGrid = m_doc.Settings().Get(Setting::QrzHomeGrid);
    request.unit = m_doc.Settings().Get(Setting::QrzMeasurementUnit);
    request.context = token;
    m_worker->Submit(std::move(request));
    Status(QStringLiteral("Asking QRZ for %1 ...").arg(target.callSign));
}

void CQrzPullModule::OnCheckinAdded(const CCheckinRecord& record)
{
    // The station being entered was logged (F5) before QRZ answered: its check-in takes the answer.
    for (CTarget& target : m_pending) {
        if (target.checkinId == 0 && LogText::SameCallSign(target.callSign, record.callSign)) {
            target.checkinId = record.id;
            break;
        }
    }
}

void CQrzPullModule::OnResult(const CQRZLookupWorker::CResult& result)
{
    const CTarget target = m_pending.take(result.request.context.toInt());
    if (target.callSign.isEmpty())
        return;
    if (!result.found) {
        if (result.failure == CQRZQuery::Failure::LoginRefused ||
            result.failure == CQRZQuery::Failure::NoAccount)
            m_accounts.Refused(result.error);
        Status(QStringLiteral("QRZ: %1").arg(result.error));
    } else if (target.checkinId != 0) {
        FillCheckin(target, result.answer.station);
    } else {
        FillEntry(target, result.answer.station);
    }
    Q_EMIT pullFinished();
}

void CQrzPullModule::FillCheckin(const CTarget& target, const CCheckinRecord& station)
{
    CCheckinStore& store = m_doc.Store();
    CCheckinForm& form = m_doc.Form();
    QStringList filled;
    CCheckinRecord record;
    try {
        const std::optional<CCheckinRecord> stored = store.Get(target.checkinId);
        if (!stored) {
            Status(QStringLiteral("%1 is no longer in the log: QRZ's answer was not used.")
                       .arg(target.callSign));
            return;
        }
        record = Callbook::FillEmpty(*stored, station, &filled);
        if (!filled.isEmpty())
            store.Save(record);
    } catch (const CLogwardenException& e) {
        Prompt::Error(&m_frame, e.Message());
        return;
    }
    if (filled.isEmpty()) {
        Status(QStringLiteral("%1: every field QRZ knows is already filled.").arg(target.callSign));
        return;
    }
    // The form shows the stored check-in again when its boxes hold no typing; boxes with typing keep it,
    // and take QRZ's values where they are still empty, so that saving them does not undo the pull.
    if (form.IsBound() && form.BoundId() == target.checkinId && form.IsEdited()) {
        CCheckinRecord entry = form.Entry();
        const auto take = [&](QString& box, const QString& value, const char* column) {
            if (box.isEmpty() && filled.contains(QLatin1String(column)))
                box = value;
        };
        take(entry.name, record.name, "Name");
        take(entry.street, record.street, "Street");
        take(entry.location, record.location, "Location");
        take(entry.cls, record.cls, "Class");
        take(entry.yourGrid, record.yourGrid, "YourGrid");
        take(entry.email, record.email, "eMailAddr");
        form.SetEntry(entry);
        m_view.Entry()->ShowEntry();
    }
    Status(QStringLiteral("%1: %2 filled from QRZ").arg(target.callSign, filled.join(QStringLiteral(", "))));
}

void CQrzPullModule::FillEntry(const CTarget& target, const CCheckinRecord& station)
{
    CCheckinForm& form = m_doc.Form();
    if (form.IsBound() || !LogText::SameCallSign(form.Entry().callSign.trimmed(), target.callSign)) {
        Status(QStringLiteral("QRZ answered for %1, which the form no longer shows: nothing was filled.")
                   .arg(target.callSign));
        return;
    }
    QStringList filled;
    const CCheckinRecord entry = Callbook::FillEmpty(form.Entry(), station, &filled);
    if (filled.isEmpty()) {
        Status(QStringLiteral("%1: every field QRZ knows is already filled.").arg(target.callSign));
        return;
    }
    form.SetEntry(entry);
    m_view.Entry()->ShowEntry();
    Status(QStringLiteral("%1: %2 filled from QRZ").arg(target.callSign, filled.join(QStringLiteral(", "))));
}

void CQrzPullModule::DropSession()
{
    // The key belongs to the account it was given to; the next look-up logs in with the new one.
    if (m_worker)
        m_worker->DropSession();
    else
        QFile::remove(
            QDir(m_doc.Settings().DataFolder()).filePath(QLatin1String(CQRZQuery::kSessionKeyFile)));
}
