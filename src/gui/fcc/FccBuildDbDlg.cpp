#include "gui/fcc/FccBuildDbDlg.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/fcc/FccSchema.h"
#include "core/jobs/MThreadedJobQ.h"
#include "gui/app/Prompt.h"
#include "gui/widgets/ProgressPane.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

CBuildFCCDbDlg::CBuildFCCDbDlg(CSettings& settings, CProgressPane* progress, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_progressPane(progress),
      m_queue(std::make_unique<CMThreadedJobQ>())
{
    setObjectName(QStringLiteral("BuildFCCDb"));
    setWindowTitle(QStringLiteral("BuildFCCDb"));
    setModal(false);

    m_strInputPath = m_settings.Get(Setting::FccInputFile);
    m_strOutputPath = m_settings.Get(Setting::FccOutputFile);

    // The paths change only through "...": the fields show them.
    m_inputEdit = new QLineEdit(this);
    m_inputEdit->setObjectName(QStringLiteral("inputPath"));
    m_inputEdit->setReadOnly(true);
    m_outputEdit = new QLineEdit(this);
    m_outputEdit->setObjectName(QStringLiteral("outputPath"));
    m_outputEdit->setReadOnly(true);
    m_browseInput = new QPushButton(QStringLiteral("..."), this);
    m_browseInput->setObjectName(QStringLiteral("browseInput"));
    m_browseOutput = new QPushButton(QStringLiteral("..."), this);
    m_browseOutput->setObjectName(QStringLiteral("browseOutput"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(m_status->fontMetrics().horizontalAdvance(
        QStringLiteral("HD (3 of 3) Build Current position 100%  ")));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Location for the FCC input data:"), this), 0, 0, 1, 2);
    grid->addWidget(m_inputEdit, 1, 0);
    grid->addWidget(m_browseInput, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Location for the Output .db File:"), this), 2, 0, 1, 2);
    grid->addWidget(m_outputEdit, 3, 0);
    grid->addWidget(m_browseOutput, 3, 1);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(new QLabel(QStringLiteral("Status: "), this));
    statusRow->addWidget(m_status, 1);
    // What the last build loaded and left out.
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("counts"));
    m_counts->setMinimumHeight(m_counts->fontMetrics().lineSpacing() * FccSchema::kTableCount);
    m_counts->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_createButton = new QPushButton(QStringLiteral("Create DB"), this);
    m_createButton->setObjectName(QStringLiteral("createDb"));
    m_createButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelBuild"));
    m_cancelButton->setEnabled(false);
    m_doneButton = new QPushButton(QStringLiteral("Done (Exit)"), this);
    m_doneButton->setObjectName(QStringLiteral("done"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_createButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_cancelButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_doneButton, QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(statusRow);
    layout->addWidget(m_counts);
    layout->addWidget(buttons);
    resize(520, sizeHint().height());

    connect(m_browseInput, &QPushButton::clicked, this, &CBuildFCCDbDlg::OnBrowse);
    connect(m_browseOutput, &QPushButton::clicked, this, &CBuildFCCDbDlg::OnBrowse);
    connect(m_createButton, &QPushButton::clicked, this, &CBuildFCCDbDlg::OnCreateDb);
    connect(m_cancelButton, &QPushButton::clicked, this, &CBuildFCCDbDlg::OnCancelBuild);
    connect(m_doneButton, &QPushButton::clicked, this, &QDialog::close);

    // The queue's "REFRESH LIST" notice, on this window's thread.
    m_queue->SetMaxThreads(CMThreadedJobQ::kMaxThreads);
    m_queue->SetRefreshCallback(
        [this](int) { QMetaObject::invokeMethod(this, &CBuildFCCDbDlg::refreshList, Qt::QueuedConnection); });

    CFccDbBuild::CObserver observer;
    observer.progress = [this](const QString& text, int percent) {
        QMetaObject::invokeMethod(
            this, [this, text, percent] { OnProgress(text, percent); }, Qt::QueuedConnection);
    };
    observer.finished = [this](CFccDbBuild::State state, const QString& message) {
        QMetaObject::invokeMethod(
            this, [this, state, message] { OnFinished(state, message); }, Qt::QueuedConnection);
    };
    m_build = std::make_unique<CFccDbBuild>(*m_queue, observer);

    ShowPaths();
}

CBuildFCCDbDlg::~CBuildFCCDbDlg()
{
    // Stops a running build (the previous database stays) before anything it reports to goes away.
    m_build.reset();
    m_queue.reset();
    if (m_task)
        m_task->Finish();
}

QString CBuildFCCDbDlg::GetStatusText() const
{
    return m_status->text();
}

QString CBuildFCCDbDlg::GetCountsText() const
{
    return m_counts->text();
}

bool CBuildFCCDbDlg::IsBuilding() const
{
    return m_build->IsRunning() || m_cancelButton->isEnabled();
}

void CBuildFCCDbDlg::ShowPaths()
{
    m_inputEdit->setText(m_strInputPath);
    m_outputEdit->setText(m_strOutputPath);
}

void CBuildFCCDbDlg::OnBrowse()
{
    // A save dialog, so that a name can be typed in a folder without .dat files yet; choosing an existing
    // .dat file is the point here, and the question that matters is about the database.
    Prompt::CFileRequest request;
    request.folder = FolderOf(m_strInputPath);
    request.proposedName = m_strInputPath;
    request.filters = {QStringLiteral("All dat files (*.dat)")};
    request.defaultSuffix = QStringLiteral("dat");
    const QString chosen = Prompt::SaveFileName(this, request);
    if (!chosen.isEmpty())
        ApplyChosenFile(chosen);
}

bool CBuildFCCDbDlg::ApplyChosenFile(const QString& chosenFile)
{
    const QString folder = FolderOf(chosenFile);
    const QString separator = folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    const QString input = folder + separator + QStringLiteral("*.dat");
    const QString output = folder + separator + QLatin1String(FccSchema::kFileName);
    if (QFileInfo::exists(output) &&
        !Prompt::Ask(this, QStringLiteral("File %1 exists! Overwrite?").arg(output), false, windowTitle()))
        return false;
    m_strInputPath = input;
    m_strOutputPath = output;
    m_settings.Set(Setting::FccInputFile, input);
    m_settings.Set(Setting::FccOutputFile, output);
    m_settings.Sync();
    ShowPaths();
    return true;
}

void CBuildFCCDbDlg::OnCreateDb()
{
    if (IsBuilding())
        return;
    m_status->clear();
    m_counts->clear();
    try {
        m_build->Start(m_strInputPath, m_strOutputPath);
    } catch (const CLogwardenException& e) {
        Prompt::Warning(this, e.Message(), windowTitle());
        return;
    }
    SetBuilding(true);
}

void CBuildFCCDbDlg::OnCancelBuild()
{
    if (m_build->IsRunning())
        m_build->Cancel();
}

void CBuildFCCDbDlg::SetBuilding(bool building)
{
    m_createButton->setEnabled(!building);
    m_browseInput->setEnabled(!building);
    m_browseOutput->setEnabled(!building);
    m_cancelButton->setEnabled(building);
    if (building && m_progressPane && !m_task)
        m_task = m_progressPane->Begin(QStringLiteral("fccBuildProgress"), QStringLiteral("Compile"),
                                       [this] { OnCancelBuild(); });
    if (!building && m_task)
        m_task->Finish();
}

void CBuildFCCDbDlg::OnProgress(const QString& text, int percent)
{
    if (!m_cancelButton->isEnabled())
        return; // a report that arrived after the build ended
    m_status->setText(text);
    if (m_task) {
        m_task->SetText(text);
        m_task->SetPercent(percent);
    }
    Q_EMIT progressChanged(text, percent);
}

void CBuildFCCDbDlg::OnFinished(CFccDbBuild::State state, const QString& message)
{
    SetBuilding(false);
    if (state == CFccDbBuild::Failed) {
        m_status->setText(QStringLiteral("Compile Failed"));
        Prompt::Notify(this, Prompt::Kind::Warning,
                       QStringLiteral("%1\n\nThe previous FCC database was left as it was.").arg(message),
                       windowTitle());
    } else {
        m_status->setText(message);
    }
    if (state == CFccDbBuild::Succeeded) {
        QStringList counts;
        for (int i = 0; i < FccSchema::kTableCount; ++i) {
            const CUlsStageStats stats = m_build->GetStats(i);
            counts << QStringLiteral("%1: %2 loaded, %3 skipped")
                          .arg(QLatin1String(FccSchema::Tables()[i]->name))
                          .arg(stats.loaded)
                          .arg(stats.skipped);
        }
        m_counts->setText(counts.join(QLatin1Char('\n')));
    }
    Q_EMIT buildFinished(state, message);
}

void CBuildFCCDbDlg::closeEvent(QCloseEvent* event)
{
    // "Done (Exit)" during a build stops it: the previous database stays.
    m_build->Cancel();
    event->accept();
}

void CBuildFCCDbDlg::reject()
{
    close();
}
