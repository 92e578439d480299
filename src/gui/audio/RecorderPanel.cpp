#include "gui/audio/RecorderPanel.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/audio/Recordings.h"
#include "core/audio/SessionRecorder.h"
#include "core/jobs/BackgroundJob.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/widgets/ProgressPane.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

const QString kOn = QStringLiteral("Session Recording is ON");
const QString kOff = QStringLiteral("Session Recording is OFF");

QString Elapsed(qint64 frames)
{
    const qint64 s = frames / WaveCapture::kRate;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// A grey dot while idle, a red one while recording.
QIcon RecordIcon(bool recording)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(recording ? QColor(130, 0, 0) : QColor(90, 90, 90));
    p.setBrush(recording ? QColor(225, 25, 25) : QColor(175, 175, 175));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(pm);
}

// When a recording left behind was started: its name carries the time ("recording-20240307-190230"),
// else its first file's date stands in.
QDateTime StartOf(const Recordings::CRecording& recording)
{
    const QString base = QFileInfo(recording.marker).completeBaseName();
    const QDateTime named =
        QDateTime::fromString(base.mid(int(qstrlen("recording-")), 15), QStringLiteral("yyyyMMdd-HHmmss"));
    if (named.isValid())
        return named;
    return QFileInfo(recording.files.value(0)).lastModified();
}

// The first file a recording saved as target would replace; empty when it replaces none.
QString ExistingTarget(const QStringList& files, const QString& target)
{
    for (int i = 0; i < files.size(); ++i) {
        const QString to = Recordings::PartName(target, i + 1);
        if (QFileInfo::exists(to) && QFileInfo(to) != QFileInfo(files[i]))
            return to;
    }
    return {};
}

} // namespace

CRecorderPanel::CRecorderPanel(CMainFrame& frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_recorder(new CSessionRecorder(this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_button = new QPushButton(this);
    m_button->setObjectName(QStringLiteral("recordButton"));
    m_button->setAutoDefault(false);
    m_button->setFocusPolicy(Qt::TabFocus);
    m_button->setFixedWidth(m_button->fontMetrics().horizontalAdvance(QStringLiteral("Off")) + 16 + 22);
    m_level = new QProgressBar(this);
    m_level->setObjectName(QStringLiteral("recordLevel"));
    m_level->setRange(0, 100);
    m_level->setTextVisible(true);
    m_level->setAlignment(Qt::AlignCenter);
    m_level->setFixedWidth(m_level->fontMetrics().horizontalAdvance(QStringLiteral("0:00:00")) + 12);
    m_level->setToolTip(QStringLiteral("Time recorded, over the input level"));
    // Its place is kept while idle, so that the button does not move under the pointer.
    QSizePolicy policy = m_level->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_level->setSizePolicy(policy);
    row->addWidget(m_button);
    row->addWidget(m_level);
    ShowState(false);

    connect(m_button, &QPushButton::clicked, this, &CRecorderPanel::OnRecordToggle);
    connect(m_recorder, &CSessionRecorder::progress, this, &CRecorderPanel::OnProgress);
    connect(m_recorder, &CSessionRecorder::ended, this, &CRecorderPanel::OnEnded);
}

CRecorderPanel::~CRecorderPanel()
{
    // A save still copying is finished, not cut off (the window is going, so nothing more is shown):
    // the recording is whole at one of its two places, and offered again at the next start unless saved.
    if (m_move) {
        m_move.reset();
        if (m_moveResult->ok)
            DealtWith(m_moving);
    }
    // A recording still running when the window goes without closing is finished by the recorder and
    // offered at the next start; its last signals must not reach this half-destroyed panel.
    disconnect(m_recorder, nullptr, this, nullptr);
    delete m_recorder;
}

bool CRecorderPanel::IsRecording() const
{
    return m_recorder->IsRecording();
}

void CRecorderPanel::ShowState(bool recording)
{
    m_button->setText(recording ? QStringLiteral("On") : QStringLiteral("Off"));
    m_button->setIcon(RecordIcon(recording));
    m_button->setToolTip(recording ? QStringLiteral("Recording the net: press to stop and save it")
                                   : QStringLiteral("Record the net from the sound card's input"));
    m_level->setVisible(recording);
    if (recording) {
        m_level->setValue(0);
        m_level->setFormat(Elapsed(0));
    }
}

void CRecorderPanel::OnRecordToggle()
{
    if (m_saving)
        return;
    if (IsRecording())
        Stop();
    else
        Start();
}

void CRecorderPanel::Start()
{
    CSettings& settings = m_frame.Settings();
    CSessionRecorder::COptions options;
    options.device = settings.Get(Setting::CaptureDevice);
    options.folder = Recordings::Folder(settings.DataFolder());
    if (!m_recorder->Start(options)) {
        // Nothing records: the form must not say otherwise.
        ShowState(false);
        m_frame.SetStatusText(kOff);
        Prompt::Error(&m_frame,
                      QStringLiteral("The recording could not start.\n\n%1").arg(m_recorder->GetErrorText()));
        return;
    }
    m_day = m_frame.Document().Clock().Today();
    ShowState(true);
    m_frame.SetStatusText(kOn);
}

void CRecorderPanel::Stop()
{
    const bool ok = m_recorder->Stop();
    ShowState(false);
    m_frame.SetStatusText(kOff);
    if (!ok)
        Prompt::Error(
            &m_frame,
            QStringLiteral("%1\n\nWhat was recorded until then is kept.").arg(m_recorder->GetErrorText()));
    OfferToSave(LastTake());
}

void CRecorderPanel::OnProgress(qint64 frames, int level)
{
    if (!IsRecording())
        return;
    m_level->setValue(level);
    m_level->setFormat(Elapsed(frames));
}

void CRecorderPanel::OnEnded(const QString& error)
{
    ShowState(false);
    m_frame.SetStatusText(kOff);
    Prompt::Error(&m_frame,
                  QStringLiteral("The recording stopped: %1\n\nWhat was recorded until then is kept.")
                      .arg(error.isEmpty() ? QStringLiteral("the capture ended.") : error));
    OfferToSave(LastTake());
}

CRecorderPanel::CTake CRecorderPanel::LastTake() const
{
    return {m_recorder->GetFiles(), m_recorder->GetMarker(), m_day, true};
}

bool CRecorderPanel::OnClosing()
{
    if (!m_saving && IsRecording())
        Stop();
    // While a recording is offered or copied the window stays; it closes once that is done.
    if (m_saving) {
        m_closePending = true;
        return false;
    }
    return true;
}

void CRecorderPanel::OfferLeftOver()
{
    const QString folder = Recordings::Folder(m_frame.Settings().DataFolder());
    for (const Recordings::CRecording& left : Recordings::RecoverLeftOver(folder)) {
        const QDateTime started = StartOf(left);
        const CTake take{left.files, left.marker,
                         started.isValid() ? started.date() : m_frame.Document().Clock().Today(), false};
        const QString question =
            QStringLiteral(
                "Logwarden ended while it was recording the net%1. The recording (%2) was kept.\n\n"
                "Save it now?")
                .arg(started.isValid()
                         ? started.toString(QStringLiteral("' on 'dddd, MMMM d, yyyy' at 'HH:mm"))
                         : QString(),
                     Elapsed(left.frames));
        m_leftOver.append({take, question});
    }
    NextLeftOver();
}

void CRecorderPanel::NextLeftOver()
{
    // One at a time: the next is offered once the one before is saved.
    while (!m_saving && !m_leftOver.isEmpty()) {
        const auto [take, question] = m_leftOver.takeFirst();
        if (Prompt::Ask(&m_frame, question, true))
            OfferToSave(take);
        else
            KeepWhereItIs(take);
    }
}

QString CRecorderPanel::Proposal(const CTake& take) const
{
    CSettings& settings = m_frame.Settings();
    QString name = Recordings::SuggestName(settings.Get(Setting::WavePath), take.day);
    QString folder = QFileInfo(name).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        // The first recording, or the last one's folder is gone: the default folder, made for it.
        name = Recordings::SuggestName(settings.GetDefault(Setting::WavePath), take.day);
        folder = QFileInfo(name).absolutePath();
        QDir().mkpath(folder);
    }
    // Never a name in use: a hasty "Yes" would destroy an earlier net's recording.
    const QString stem = QFileInfo(name).completeBaseName();
    for (int n = 2; n < 1000 && !ExistingTarget(take.files, name).isEmpty(); ++n)
        name = QDir(folder).filePath(QStringLiteral("%1 (%2).wav").arg(stem).arg(n));
    return name;
}

void CRecorderPanel::OfferToSave(CTake take)
{
    if (take.files.isEmpty()) {
        DealtWith(take);
        return;
    }
    m_saving = true;
    m_button->setEnabled(false);
    AskWhere(std::move(take), {});
}

void CRecorderPanel::AskWhere(CTake take, QString proposal)
{
    if (proposal.isEmpty())
        proposal = Proposal(take);
    for (;;) {
        Prompt::CFileRequest request;
        request.caption = QStringLiteral("Save the Net Recording");
        request.folder = QFileInfo(proposal).absolutePath();
        request.proposedName = QFileInfo(proposal).fileName();
        request.filters = {QStringLiteral("All wave files (*.wav)")};
        request.defaultSuffix = QStringLiteral("wav");
        const QString path = Prompt::SaveFileName(&m_frame, request);
        if (path.isEmpty()) {
            KeepWhereItIs(take);
            break;
        }
        proposal = path;
        const QString existing = ExistingTarget(take.files, path);
        if (!existing.isEmpty() && !Prompt::Ask(&m_frame, QStringLiteral("File ") + existing +
                                                              QStringLiteral(" exists! Overwrite?")))
            continue; // another name
        StartMove(std::move(take), path);
        return;
    }
    FinishSaving();
}

void CRecorderPanel::StartMove(CTake take, const QString& target)
{
    // A rename within the file system is instant; a copy to another (a USB stick) takes a while, off the
    // window's thread. The panel stays busy (button off, a task in the status bar) until it is done.
    m_moving = std::move(take);
    m_moveTarget = target;
    m_moveResult = std::make_shared<CMoveResult>();
    m_moveTask =
        m_frame.Progress().Begin(QStringLiteral("saveRecording"), QStringLiteral("Saving the recording..."));
    m_moveTask->SetPercent(-1);
    m_move = std::make_unique<CBackgroundJob>();
    connect(m_move.get(), &CBackgroundJob::finished, this, &CRecorderPanel::OnMoved);
    m_move->Start([result = m_moveResult, files = m_moving.files, target](CBackgroundJob&) {
        try {
            result->moved = Recordings::MoveTo(files, target);
            result->ok = true;
        } catch (const CLogwardenException& e) {
            result->error = e.Message();
        }
    });
}

bool CRecorderPanel::TakeMoveResult(CTake& take)
{
    // The job has ended: its thread is joined before finished() and by its destructor.
    m_move.reset();
    if (m_moveTask) {
        m_moveTask->Finish();
        m_moveTask = nullptr;
    }
    take = m_moving;
    const CMoveResult result = *m_moveResult;
    m_moveResult.reset();
    if (result.ok) {
        take.files = result.moved;
        Recordings::Remember(m_frame.Settings(), take.files.first());
        DealtWith(take);
        return true;
    }
    // The parts moved before the failure are at their new names.
    for (int i = 0; i < take.files.size(); ++i) {
        const QString to = Recordings::PartName(m_moveTarget, i + 1);
        if (!QFileInfo::exists(take.files[i]) && QFileInfo::exists(to))
            take.files[i] = to;
    }
    m_moveError = result.error;
    return false;
}

void CRecorderPanel::OnMoved()
{
    CTake take;
    if (TakeMoveResult(take)) {
        m_frame.SetStatusText(
            QStringLiteral("Recording saved to %1").arg(take.files.join(QStringLiteral(", "))));
        FinishSaving();
        return;
    }
    Prompt::Error(&m_frame, m_moveError);
    AskWhere(std::move(take), m_moveTarget);
}

void CRecorderPanel::FinishSaving()
{
    m_saving = false;
    m_button->setEnabled(true);
    NextLeftOver();
    if (m_closePending && !m_saving) {
        m_closePending = false;
        QTimer::singleShot(0, &m_frame, &QWidget::close);
    }
}

void CRecorderPanel::KeepWhereItIs(const CTake& take)
{
    DealtWith(take);
    const QString where = take.files.join(QLatin1Char('\n'));
    m_frame.SetStatusText(QStringLiteral("Recording kept in %1").arg(take.files.join(QStringLiteral(", "))));
    Prompt::Information(
        &m_frame,
        QStringLiteral("The recording was not saved under another name. It is kept in:\n%1").arg(where));
}

void CRecorderPanel::DealtWith(const CTake& take)
{
    // Its marker goes, so that it is not offered again at the next start.
    if (take.fromRecorder)
        m_recorder->Release();
    else if (!take.marker.isEmpty())
        Recordings::Dismiss(take.marker);
}
