#include "gui/adif/AdifModule.h"

#include "core/Exceptions.h"
#include "core/app/OutputCheck.h"
#include "core/db/Database.h"
#include "core/jobs/BackgroundJob.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogFilter.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/widgets/ProgressPane.h"

#include <QAction>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStandardPaths>
#include <chrono>
#include <thread>

// --- The export's choice -----------------------------------------------------------------------------

CAdifExportDlg::CAdifExportDlg(const QDate& shownDay, QWidget* parent) : QDialog(parent), m_shownDay(shownDay)
{
    setWindowTitle(QStringLiteral("Export ADIF"));
    setObjectName(QStringLiteral("adifExportDlg"));
    m_day = new QRadioButton(
        QStringLiteral("The &day shown (%1)").arg(shownDay.toString(QStringLiteral("MM/dd/yyyy"))), this);
    m_range = new QRadioButton(QStringLiteral("The days &from"), this);
    m_all = new QRadioButton(QStringLiteral("The &whole log"), this);
    m_from = new QDateEdit(shownDay, this);
    m_to = new QDateEdit(shownDay, this);
    for (QDateEdit* d : {m_from, m_to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
        d->setEnabled(false);
    }
    m_day->setChecked(true);
    connect(m_range, &QRadioButton::toggled, m_from, &QWidget::setEnabled);
    connect(m_range, &QRadioButton::toggled, m_to, &QWidget::setEnabled);
    // A range never runs backwards: moving one end past the other takes the other along.
    connect(m_from, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (m_to->date() < d)
            m_to->setDate(d);
    });
    connect(m_to, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (m_from->date() > d)
            m_from->setDate(d);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* range = new QHBoxLayout;
    range->addWidget(m_range);
    range->addWidget(m_from);
    range->addWidget(new QLabel(QStringLiteral("to"), this));
    range->addWidget(m_to);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_day);
    layout->addLayout(range);
    layout->addWidget(m_all);
    layout->addWidget(buttons);
}

CQueryFilter CAdifExportDlg::Filter() const
{
    if (m_day->isChecked())
        return LogFilter::Day(m_shownDay);
    if (m_range->isChecked())
        return LogFilter::Days(m_from->date(), m_to->date());
    return {};
}

QString CAdifExportDlg::ScopeName() const
{
    if (m_day->isChecked())
        return m_shownDay.toString(Qt::ISODate);
    if (m_range->isChecked())
        return m_from->date().toString(Qt::ISODate) + QStringLiteral("_to_") +
               m_to->date().toString(Qt::ISODate);
    return QStringLiteral("all");
}

// --- The module --------------------------------------------------------------------------------------

CAdifModule::CAdifModule(CMainFrame& frame) : QObject(&frame), m_frame(frame), m_doc(frame.Document())
{
    setObjectName(QStringLiteral("adifModule"));
    m_export = new QAction(QStringLiteral("Export A&DIF..."), &frame);
    m_export->setObjectName(QStringLiteral("adifExportAction"));
    m_export->setStatusTip(QStringLiteral("Write check-ins as an ADIF file for other logging programs"));
    m_import = new QAction(QStringLiteral("&Import ADIF..."), &frame);
    m_import->setObjectName(QStringLiteral("adifImportAction"));
    m_import->setStatusTip(QStringLiteral("Add the check-ins of an ADIF file from another logging program"));
    connect(m_export, &QAction::triggered, this, &CAdifModule::OnExport);
    connect(m_import, &QAction::triggered, this, &CAdifModule::OnImport);
    // In the File menu, after the text exports.
    QAction* after = frame.Commands().exportAll;
    for (QAction* top : frame.menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (!menu || !menu->actions().contains(after))
            continue;
        const QList<QAction*> items = menu->actions();
        const qsizetype next = items.indexOf(after) + 1;
        QAction* before = next < items.size() ? items[next] : nullptr;
        menu->insertActions(before, {m_export, m_import});
        break;
    }
    m_job = new CBackgroundJob(this);
    connect(m_job, &CBackgroundJob::progress, this, [this](qint64 done, qint64 total) {
        if (m_task && total > 0)
            m_task->SetPercent(int(done * 100 / total));
    });
    connect(m_job, &CBackgroundJob::finished, this, &CAdifModule::OnFinished);
}

CAdifModule::~CAdifModule() = default;

void CAdifModule::Install(CMainFrame& frame)
{
    new CAdifModule(frame);
}

bool CAdifModule::IsBusy() const
{
    return m_job->IsRunning();
}

QString CAdifModule::Folder()
{
    // The user's documents the first time, then the folder of the last file.
    if (m_folder.isEmpty()) {
        m_folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (m_folder.isEmpty() || !QFileInfo(m_folder).isDir())
            m_folder = QDir::homePath();
    }
    return m_folder;
}

void CAdifModule::Begin(const QString& name, const QString& text)
{
    m_export->setEnabled(false);
    m_import->setEnabled(false);
    m_task = m_frame.Progress().Begin(name, text, [job = m_job] { job->Cancel(); });
    m_task->SetPercent(0);
}

void CAdifModule::OnExport()
{
    if (IsBusy())
        return;
    CAdifExportDlg choice(m_doc.SelectedDay(), &m_frame);
    if (Prompt::Run(choice) != QDialog::Accepted)
        return;
    Prompt::CFileRequest request;
    request.caption = QStringLiteral("Export ADIF");
    request.folder = Folder();
    request.proposedName = QStringLiteral("Logwarden_%1.adi").arg(choice.ScopeName());
    request.filters = {QStringLiteral("ADIF files (*.adi *.ADI)"),
                       QStringLiteral("ADIF XML files, for every alphabet (*.adx *.ADX)"),
                       QStringLiteral("All files (*)")};
    request.defaultSuffix = QStringLiteral("adi");
    const QString path = Prompt::SaveFileName(&m_frame, request);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    const QString log = m_doc.LogReader().GetPath();
    if (!Prompt::Guard(&m_frame, [&] { OutputCheck::Refuse(path, OutputCheck::Builds::Text, {log}); }))
        return;
    if (QFileInfo::exists(path) &&
        !Prompt::Ask(&m_frame, QStringLiteral("File ") + path + QStringLiteral(" exists! Overwrite?")))
        return;

    AdifExport::COptions options;
    options.format = AdifExport::FormatFor(path);
    options.station = AdifCheckin::CStation::FromSettings(m_doc.Settings());
    m_path = path;
    m_importing = false;
    m_exported = std::make_shared<AdifExport::CResult>();
    Begin(QStringLiteral("adifExportProgress"), QStringLiteral("Exporting ADIF"));
    m_job->Start(
        [log, path, filter = choice.Filter(), options, result = m_exported](CBackgroundJob& job) mutable {
            // A connection of the job's own: a connection belongs to one thread at a time.
            CDatabase db(log, CDatabase::ReadOnly);
            options.progress = &job.Progress();
            *result = AdifExport::WriteFile(db, filter, path, options);
        });
}

void CAdifModule::OnImport()
{
    if (IsBusy())
        return;
    Prompt::CFileRequest request;
    request.caption = QStringLiteral("Import ADIF");
    request.folder = Folder();
    request.filters = {QStringLiteral("ADIF files (*.adi *.adx *.ADI *.ADX)"),
                       QStringLiteral("All files (*)")};
    const QString path = Prompt::OpenFileName(&m_frame, request);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    m_path = path;
    m_importing = true;
    m_imported = std::make_shared<AdifImport::CResult>();
    Begin(QStringLiteral("adifImportProgress"), QStringLiteral("Importing ADIF"));
    // The window's one store writes the check-ins, in steps between the operator's own: the job only reads
    // the file and the log.
    m_bulkError.clear();
    try {
        m_bulk = std::make_unique<CCheckinStore::CBulkAdd>(m_doc.Store());
    } catch (const CLogwardenException& e) {
        m_task->Finish();
        m_export->setEnabled(true);
        m_import->setEnabled(true);
        Prompt::Error(&m_frame, e.Message());
        return;
    }
    m_inFlight = std::make_shared<std::atomic<int>>(0);
    QPointer<CAdifModule> self(this);
    m_job->Start([self, log = m_doc.LogReader().GetPath(), path, result = m_imported,
                  inFlight = m_inFlight](CBackgroundJob& job) {
        CDatabase db(log, CDatabase::ReadOnly);
        AdifImport::COptions options;
        options.progress = &job.Progress();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw CFileException(QStringLiteral("Cannot open \"%1\": %2.").arg(path, file.errorString()),
                                 path);
        *result = AdifImport::Read(db, file, options, [&](std::vector<CCheckinRecord> batch) {
            // A few batches ahead of the window at most.
            while (inFlight->load() > 4 && !job.IsCancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ++*inFlight;
            QMetaObject::invokeMethod(
                qApp,
                [self, inFlight, batch = std::move(batch)] {
                    --*inFlight;
                    if (self)
                        self->TakeBatch(batch);
                },
                Qt::QueuedConnection);
        });
    });
}

void CAdifModule::TakeBatch(const std::vector<CCheckinRecord>& batch)
{
    if (!m_bulk || !m_bulkError.isEmpty())
        return;
    try {
        for (const CCheckinRecord& r : batch)
            m_bulk->Add(r);
    } catch (const CLogwardenException& e) {
        m_bulkError = e.Message();
        m_job->Cancel();
    }
}

void CAdifModule::OnFinished()
{
    // (The job's last batches were posted before its end, so they have been taken by now.)
    if (m_task)
        m_task->Finish();
    m_export->setEnabled(true);
    m_import->setEnabled(true);
    const QString name = QFileInfo(m_path).fileName();
    // What the store added is kept only when the whole file was read and taken.
    std::unique_ptr<CCheckinStore::CBulkAdd> bulk = std::move(m_bulk);
    try {
        if (m_importing && !m_bulkError.isEmpty())
            throw CDBException(m_bulkError);
        m_job->RethrowError();
        if (m_importing && bulk && !m_imported->cancelled)
            bulk->Commit(false);
    } catch (const CLogwardenException& e) {
        Prompt::Error(&m_frame, m_importing ? e.Message() + QStringLiteral("\nThe log was left as it was.")
                                            : e.Message());
        return;
    } catch (const std::exception& e) {
        Prompt::Error(&m_frame, QString::fromUtf8(e.what()));
        return;
    }
    if (m_importing) {
        if (m_imported->cancelled) {
            m_frame.SetStatusText(
                QStringLiteral("Import of %1 cancelled; the log was left as it was.").arg(name));
            return;
        }
        const QString summary = AdifImport::Summary(*m_imported);
        m_frame.SetStatusText(QStringLiteral("%1: %2.").arg(name, summary));
        Prompt::Information(&m_frame, QStringLiteral("%1:\n%2.").arg(name, summary),
                            QStringLiteral("Import ADIF"));
        return;
    }
    if (m_exported->cancelled) {
        m_frame.SetStatusText(QStringLiteral("Export to %1 cancelled.").arg(name));
        return;
    }
    m_frame.SetStatusText(QStringLiteral("%1 check-ins written to %2.").arg(m_exported->written).arg(name));
}
