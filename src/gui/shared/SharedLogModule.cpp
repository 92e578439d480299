#include "gui/shared/SharedLogModule.h"

#include "core/app/NetDetails.h"
#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/DayListModel.h"
#include "gui/log/LogwardenView.h"
#include "gui/shared/ConflictDlg.h"
#include "gui/shared/SharedLogDlg.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>

void CSharedLogModule::Install(CMainFrame& frame)
{
    new CSharedLogModule(frame);
}

CSharedLogModule::CSharedLogModule(CMainFrame& frame) : QObject(&frame), m_frame(frame)
{
    setObjectName(QStringLiteral("sharedLogModule"));
    m_settingsAction = new QAction(QStringLiteral("Shared &Log..."), this);
    m_settingsAction->setObjectName(QStringLiteral("sharedLogAction"));
    m_settingsAction->setStatusTip(
        QStringLiteral("Share this computer's log with the other operators of the net"));
    connect(m_settingsAction, &QAction::triggered, this, &CSharedLogModule::Edit);
    // Settings comes before Help.
    QMenu* settings = new QMenu(QStringLiteral("&Settings"), frame.menuBar());
    settings->setObjectName(QStringLiteral("settingsMenu"));
    settings->addAction(m_settingsAction);
    const QList<QAction*> tops = frame.menuBar()->actions();
    frame.menuBar()->insertMenu(tops.isEmpty() ? nullptr : tops.last(), settings);

    m_resolveAction = new QAction(QStringLiteral("&Resolve Conflict..."), this);
    m_resolveAction->setObjectName(QStringLiteral("resolveConflictAction"));
    m_resolveAction->setStatusTip(
        QStringLiteral("Choose the values of a check-in that two operators changed differently"));
    connect(m_resolveAction, &QAction::triggered, this, &CSharedLogModule::ResolveConflict);
    m_mergeAction = new QAction(QStringLiteral("&Merge Duplicate Check-in"), this);
    m_mergeAction->setObjectName(QStringLiteral("mergeDuplicateAction"));
    m_mergeAction->setStatusTip(
        QStringLiteral("Make one check-in of the same station logged by two operators"));
    connect(m_mergeAction, &QAction::triggered, this, &CSharedLogModule::MergeDuplicates);
    for (QAction* top : frame.menuBar()->actions())
        if (QMenu* menu = top->menu(); menu && menu->actions().contains(frame.Commands().camelCase)) {
            menu->addSeparator();
            menu->addActions({m_resolveAction, m_mergeAction});
        }

    m_label = new QLabel(&frame);
    m_label->setObjectName(QStringLiteral("sharedStatus"));
    m_label->hide();
    frame.statusBar()->addPermanentWidget(m_label);

    CLogwardenDoc& doc = frame.Document();
    connect(&doc.Secrets(), &CSecretStore::readDone, this,
            [this](int ticket, const QString&, bool found, const QString& password) {
                if (ticket == m_ticket)
                    StartWith(found ? password : QString());
            });
    if (doc.IsLogOpen()) {
        CCheckinStore& store = doc.Store();
        connect(&store, &CCheckinStore::remoteCheckinsArrived, this,
                [this](const QList<int>& ids) { m_frame.FormView()->DayListModel()->Flash(ids); });
        connect(&doc.Form(), &CCheckinForm::currentChanged, this, &CSharedLogModule::UpdateActions);
        connect(&doc.Form(), &CCheckinForm::rowsChanged, this, &CSharedLogModule::UpdateActions);
    }
    UpdateActions();
    Apply();
}

CSharedLogModule::~CSharedLogModule()
{
    // What waits in the outbox stays in the log file for the next start. The status bar may be gone
    // already: what the engine last found is not shown.
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine->Stop(false);
    }
}

QString CSharedLogModule::Account() const
{
    return QStringLiteral("shared-log:") + m_frame.Settings().Get(Setting::SharedServer);
}

void CSharedLogModule::Apply()
{
    if (m_engine) {
        m_engine->Stop(false);
        m_engine.reset();
    }
    CSettings& s = m_frame.Settings();
    const bool on = s.Get(Setting::SharedEnabled) && m_frame.Document().IsLogOpen();
    if (QTableView* list = m_frame.FormView()->DayList())
        list->setColumnHidden(CDayListModel::ColBy, !on);
    m_label->setVisible(on);
    if (!on) {
        m_ticket = -1;
        return;
    }
    m_label->setText(QStringLiteral("Shared: connecting..."));
    // The password comes from the keyring without holding up the window.
    m_ticket = m_frame.Document().Secrets().ReadLater(Account());
}

void CSharedLogModule::StartWith(const QString& password)
{
    CSettings& s = m_frame.Settings();
    CCheckinStore& store = m_frame.Document().Store();
    const QString net = s.Get(Setting::SharedNet);
    const QString call = s.Get(Setting::SharedOperator);
    if (store.SharedNet() != net || store.Operator() != call)
        store.ShareWith(net, call);
    m_engine = std::make_unique<CSyncEngine>(
        store, CSharedLogOptions{s.Get(Setting::SharedServer), password, net, call,
                                 CNetDetails::FromSettings(s).frequency, m_createNet});
    connect(m_engine.get(), &CSyncEngine::statusChanged, this, &CSharedLogModule::OnStatus);
    m_engine->Start();
}

QString CSharedLogModule::StatusText(const CSyncStatus& status)
{
    QString text;
    if (status.online)
        text = QStringLiteral("Shared: online \u00b7 %1 operator%2")
                   .arg(status.operators)
                   .arg(status.operators == 1 ? QString() : QStringLiteral("s"));
    else
        text = QStringLiteral("Shared: offline, %1 pending").arg(status.pending);
    if (status.online && status.pending > 0)
        text += QStringLiteral(", %1 pending").arg(status.pending);
    if (status.conflicts > 0)
        text += QStringLiteral(" \u00b7 %1 conflict%2")
                    .arg(status.conflicts)
                    .arg(status.conflicts == 1 ? QString() : QStringLiteral("s"));
    if (status.setAside > 0)
        text += QStringLiteral(" \u00b7 %1 set aside").arg(status.setAside);
    return text;
}

void CSharedLogModule::OnStatus(const CSyncStatus& status)
{
    m_label->setText(StatusText(status));
    QStringList tip;
    if (!status.error.isEmpty())
        tip << status.error;
    if (!status.setAsideText.isEmpty())
        tip << status.setAsideText;
    m_label->setToolTip(tip.join(QLatin1Char('\n')));
    const char* colour = !status.online                                ? "#b00000"
                         : status.conflicts > 0 || status.setAside > 0 ? "#b06000"
                                                                       : "#006000";
    m_label->setStyleSheet(
        QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(QLatin1String(colour)));
    UpdateActions();
}

void CSharedLogModule::UpdateActions()
{
    const CLogwardenDoc& doc = m_frame.Document();
    const CCheckinRecord* current =
        doc.IsLogOpen() ? const_cast<CLogwardenDoc&>(doc).Form().Current() : nullptr;
    m_resolveAction->setEnabled(current && current->conflict);
    m_mergeAction->setEnabled(current && !current->alsoLoggedBy.isEmpty());
}

void CSharedLogModule::Edit()
{
    CSettings& s = m_frame.Settings();
    CSharedLogDlg dlg({s.Get(Setting::SharedEnabled), s.Get(Setting::SharedServer), s.Get(Setting::SharedNet),
                       s.Get(Setting::SharedOperator), QString()},
                      &m_frame);
    if (Prompt::Run(dlg) != QDialog::Accepted)
        return;
    const CSharedLogDlg::CValues v = dlg.Values();
    s.Set(Setting::SharedEnabled, v.enabled);
    s.Set(Setting::SharedServer, v.server);
    s.Set(Setting::SharedNet, v.net);
    s.Set(Setting::SharedOperator, v.operatorCall);
    m_createNet = v.createNet;
    // The password belongs to this server only: another server never gets it.
    if (!v.password.isEmpty())
        m_frame.Document().Secrets().WriteLater(Account(), v.password);
    if (!v.enabled && m_frame.Document().IsLogOpen())
        m_frame.Document().Store().ShareWith(QString(), v.operatorCall);
    Apply();
}

void CSharedLogModule::ResolveConflict()
{
    CLogwardenDoc& doc = m_frame.Document();
    const CCheckinRecord* current = doc.Form().Current();
    if (!current || !current->conflict)
        return;
    const CCheckinRecord mine = *current;
    const std::optional<CCheckinRecord> theirs = doc.Store().Theirs(mine.id);
    if (!theirs)
        return;
    CConflictDlg dlg(mine, *theirs, &m_frame);
    if (Prompt::Run(dlg) != QDialog::Accepted)
        return;
    Prompt::Guard(&m_frame, [&] { doc.Store().ResolveConflict(mine.id, dlg.Values()); });
}

void CSharedLogModule::MergeDuplicates()
{
    CLogwardenDoc& doc = m_frame.Document();
    const CCheckinRecord* current = doc.Form().Current();
    if (!current || current->alsoLoggedBy.isEmpty())
        return;
    const int id = current->id;
    const QString call = current->callSign;
    std::optional<CCheckinStore::CMergeProposal> proposal;
    if (!Prompt::Guard(&m_frame, [&] { proposal = doc.Store().ProposeMerge(id); }) || !proposal)
        return;
    CCheckinRecord values = proposal->merged;
    if (!proposal->conflicts.isEmpty()) {
        // What the other operator typed differently is never dropped without the operator's word.
        CConflictDlg dlg(
            proposal->merged, proposal->theirs, &m_frame,
            QStringLiteral("%1 also logged %2 and typed other values. Choose what the one "
                           "check-in keeps; everyone gets your choice (Ctrl+Z undoes the merge).")
                .arg(proposal->otherOperator.isEmpty() ? QStringLiteral("Another operator")
                                                       : proposal->otherOperator,
                     call));
        if (Prompt::Run(dlg) != QDialog::Accepted)
            return;
        values = dlg.Values();
    }
    if (Prompt::Guard(&m_frame, [&] { doc.Store().MergeDuplicates(id, values); }))
        m_frame.SetStatusText(
            QStringLiteral("The check-ins of %1 were merged into one (Ctrl+Z undoes it).").arg(call));
}
