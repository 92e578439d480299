#include "gui/log/NetLogTools.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/app/OutputCheck.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogExport.h"
#include "core/log/LogFilter.h"
#include "core/log/LogMaintenance.h"
#include "core/log/LogSchema.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/HistoryDlg.h"
#include "gui/log/LogwardenView.h"
#include "gui/log/NetDayPanel.h"
#include "gui/log/NetpreambleDlg.h"
#include "gui/log/RecordPurgeDlg.h"
#include "gui/widgets/ProgressPane.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>

namespace {

bool IsAltH(const QEvent* event)
{
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_H && (key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier;
}

} // namespace

CNetLogTools::CNetLogTools(CMainFrame& frame)
    : QObject(&frame), m_frame(frame), m_doc(frame.Document()), m_form(*frame.FormView())
{
    setObjectName(QStringLiteral("netLogTools"));
    CCommands& c = frame.Commands();

    // "&History" beside the entry buttons. Alt+H also opens the Help menu: inside the form it opens the
    // history (as a dialog's own key would), elsewhere the menu.
    m_history = new QPushButton(QStringLiteral("&History"), &m_form);
    m_history->setObjectName(QStringLiteral("historyButton"));
    m_history->setAutoDefault(false);
    m_history->setShortcut(QKeySequence());
    QBoxLayout* entry = m_form.SlotLayout(CLogwardenView::Slot::EntryButtons);
    entry->insertWidget(std::max(0, entry->count() - 1), m_history);
    connect(m_history, &QPushButton::clicked, this, &CNetLogTools::OnHistory);
    m_form.installEventFilter(this);
    // The click before a double click made the row current and put its call sign in the box.
    connect(m_form.DayList(), &QAbstractItemView::doubleClicked, this,
            [this] { QTimer::singleShot(0, this, &CNetLogTools::OnHistory); });

    m_netDay = new CNetDayPanel(m_doc, m_form, &m_form);
    // A page of its own beside the calendar: the day list keeps the height for the net's stations.
    m_form.AddCalendarPage(m_netDay, QStringLiteral("Net"));
    connect(m_netDay, &CNetDayPanel::statusText, this, &CNetLogTools::Status);
    connect(&m_doc.Store(), &CCheckinStore::compactionFinished, this, &CNetLogTools::OnCompactionFinished);
    connect(&m_doc.Form(), &CCheckinForm::dayChanged, m_netDay, [this] { m_netDay->UpdateNetDay(); });
    m_netDay->UpdateNetDay();

    auto bind = [](QAction* action, auto&& slot) {
        QObject::connect(action, &QAction::triggered, action, slot);
        action->setEnabled(true);
    };
    bind(c.exportDay, [this] { OnExport(false); });
    bind(c.exportAll, [this] { OnExport(true); });
    bind(c.purge, [this] { OnPurge(); });
    bind(c.emptyDatabase, [this] { OnEmptyDatabase(); });
    bind(c.netPreamble, [this] { OnShowPreamble(); });
    bind(c.transmit, [this] { m_netDay->OnTransmit(); });
}

CNetLogTools::~CNetLogTools() = default;

CRecordPurgeDlg* CNetLogTools::PurgeDialog() const
{
    return m_purge;
}

void CNetLogTools::Status(const QString& text)
{
    m_frame.SetStatusText(text);
}

void CNetLogTools::ReportError(const QString& message)
{
    Prompt::Error(&m_form, message);
}

bool CNetLogTools::eventFilter(QObject* watched, QEvent* event)
{
    // A key of the form's own comes before the menu bar's, as in a dialog: while the focus is in the form,
    // Alt+H is claimed from the shortcuts, and its key press is taken before the focused box types an "h".
    if (watched == &m_form && event->type() == QEvent::ShortcutOverride && IsAltH(event) &&
        m_form.isEnabled()) {
        event->accept();
        if (!m_historyKeyPending)
            qApp->installEventFilter(this);
        m_historyKeyPending = true;
        return true;
    }
    if (m_historyKeyPending && event->type() == QEvent::KeyPress) {
        m_historyKeyPending = false;
        qApp->removeEventFilter(this);
        if (IsAltH(event)) {
            event->accept();
            QTimer::singleShot(0, this, &CNetLogTools::OnHistory);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// --- History -------------------------------------------------------------------------------------------

void CNetLogTools::OnHistory()
{
    ShowHistory(m_form.CallSignBox()->text());
}

void CNetLogTools::ShowHistory(const QString& callSign)
{
    Prompt::Guard(&m_form, [&] {
        CHistoryDlg dlg(m_doc.LogReader(), m_doc.Settings(), callSign, &m_form);
        Prompt::Run(dlg);
    });
}

// --- Export --------------------------------------------------------------------------------------------

void CNetLogTools::OnExport(bool wholeLog)
{
    // The user's documents the first time, then the folder of the last export.
    if (m_exportFolder.isEmpty()) {
        m_exportFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (m_exportFolder.isEmpty() || !QFileInfo(m_exportFolder).isDir())
            m_exportFolder = QDir::homePath();
    }
    Prompt::CFileRequest request;
    request.caption =
        wholeLog ? QStringLiteral("Full DB Export to File") : QStringLiteral("Export to Text File");
    request.folder = m_exportFolder;
    request.proposedName = LogExport::DefaultFileName(m_doc.Clock().Today());
    request.filters = {QStringLiteral("All TEXT files (*.txt *.TXT)"), QStringLiteral("All files (*)")};
    request.defaultSuffix = QStringLiteral("txt");
    const QString path = Prompt::SaveFileName(&m_frame, request);
    if (path.isEmpty())
        return;
    m_exportFolder = QFileInfo(path).absolutePath();
    // The log itself or another database is refused before any question.
    if (!Prompt::Guard(&m_frame, [&] {
            OutputCheck::Refuse(path, OutputCheck::Builds::Text, {m_doc.LogReader().GetPath()});
        }))
        return;
    if (QFileInfo::exists(path) &&
        !Prompt::Ask(&m_frame, QStringLiteral("File ") + path + QStringLiteral(" exists! Overwrite?")))
        return;
    Export(wholeLog, path);
}

void CNetLogTools::Export(bool wholeLog, const QString& path)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        std::optional<QDate> day;
        if (!wholeLog)
            day = m_doc.SelectedDay();
        LogExport::WriteFile(m_doc.LogReader(), day, path);
        QApplication::restoreOverrideCursor();
        Status(QStringLiteral("%1 written to disk.").arg(QFileInfo(path).fileName()));
    } catch (const CLogwardenException& e) {
        QApplication::restoreOverrideCursor();
        ReportError(e.Message());
    }
}

// --- Purge and emptying --------------------------------------------------------------------------------

void CNetLogTools::OnPurge()
{
    if (!m_purge) {
        m_purge = new CRecordPurgeDlg(m_doc, &m_frame);
        connect(m_purge, &CRecordPurgeDlg::statusText, this, &CNetLogTools::Status);
        m_purge->CountAll();
    } else {
        m_purge->Refresh();
    }
    m_purge->show();
    m_purge->raise();
    m_purge->activateWindow();
}

void CNetLogTools::OnEmptyDatabase()
{
    if (!Prompt::Ask(&m_frame, QStringLiteral("Remove All Entries?"))) {
        Status(QStringLiteral("Okay, NOT removing any records..."));
        return;
    }
    Status(QStringLiteral("Okay, Removing all records..."));
    QString error;
    try {
        CCheckinStore& store = m_doc.Store();
        // The check-ins go at once; making the file small again may take a while on a large log, and runs
        // beside the window with its own progress and Cancel.
        if (store.EmptyInBackground() && !m_compactTask) {
            m_compactTask = m_frame.Progress().Begin(QStringLiteral("compactProgress"),
                                                     QStringLiteral("Compacting the log"),
                                                     [this] { m_doc.Store().CancelCompaction(); });
            m_compactTask->SetPercent(-1);
        }
    } catch (const CLogwardenException& e) {
        error = e.Message();
    }
    if (m_purge && m_purge->isVisible())
        m_purge->Refresh();
    if (!error.isEmpty())
        ReportError(error);
}

void CNetLogTools::OnCompactionFinished(const QString& error)
{
    if (m_compactTask)
        m_compactTask->Finish();
    m_compactTask = nullptr;
    if (!error.isEmpty())
        Status(QStringLiteral("The log was emptied, but not compacted: %1").arg(error));
}

// --- Preamble ------------------------------------------------------------------------------------------

void CNetLogTools::OnShowPreamble()
{
    if (!m_preamble)
        m_preamble = std::make_unique<CNetpreambleDlg>(m_doc.Settings());
    m_preamble->ShowPreamble();
}

void InstallNetLogTools(CMainFrame& frame)
{
    new CNetLogTools(frame);
}
