#include "gui/mail/BlastEmailModule.h"

#include "core/log/CheckinForm.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/LogwardenView.h"
#include "gui/mail/BlastEmailDlg.h"
#include "gui/widgets/ProgressPane.h"

#include <QBoxLayout>
#include <QEvent>
#include <QPushButton>

void CBlastEmailModule::Install(CMainFrame& frame)
{
    new CBlastEmailModule(frame);
}

CBlastEmailModule::CBlastEmailModule(CMainFrame& frame) : QObject(&frame), m_frame(frame)
{
    setObjectName(QStringLiteral("blastEmailModule"));
    CLogwardenView& form = *frame.FormView();
    m_button = new QPushButton(QStringLiteral("Blast Email"), &form);
    m_button->setObjectName(QStringLiteral("blastEmailButton"));
    m_button->setAutoDefault(false);
    m_button->setToolTip(QStringLiteral("E-mail an invitation to the stations of this day"));
    form.SlotLayout(CLogwardenView::Slot::NetButtons)->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &CBlastEmailModule::OnBlastEmail);

    connect(&m_blast, &CBlastEmail::progress, this, &CBlastEmailModule::OnProgress);
    connect(&m_blast, &CBlastEmail::stationDone, this, &CBlastEmailModule::OnStationDone);
    connect(&m_blast, &CBlastEmail::finished, this, &CBlastEmailModule::OnFinished);
    frame.installEventFilter(this);
}

CBlastEmailModule::~CBlastEmailModule() = default;

CBlastEmailDlg* CBlastEmailModule::Dialog() const
{
    return m_dialog;
}

CProgressTask* CBlastEmailModule::Task() const
{
    return m_task;
}

QDate CBlastEmailModule::ShownDay() const
{
    const CCheckinForm& form = m_frame.Document().Form();
    if (const CCheckinRecord* current = form.Current(); current && current->date.IsValid())
        return current->date.Date();
    return form.Day();
}

void CBlastEmailModule::OnBlastEmail()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    CLogwardenDoc& doc = m_frame.Document();
    Prompt::Guard(&m_frame, [&] {
        m_dialog = new CBlastEmailDlg(doc.LogReader(), doc.Store(), doc.Settings(), doc.Secrets(), m_blast,
                                      ShownDay(), &m_frame);
    });
    if (!m_dialog)
        return;
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (m_blast.IsRunning() && m_total > 0)
        m_dialog->ShowProgress(m_index, m_total, m_progressText);
    m_dialog->open();
}

bool CBlastEmailModule::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_frame && event->type() == QEvent::Close && m_blast.IsRunning()) {
        if (!Prompt::Ask(&m_frame,
                         QStringLiteral("The blast is still sending (%1). Quit anyway? It stops after the "
                                        "current message; the stations after it get nothing.")
                             .arg(m_progressText),
                         false, QStringLiteral("Blast Email"))) {
            event->ignore();
            return true;
        }
        m_blast.Cancel();
    }
    return QObject::eventFilter(watched, event);
}

void CBlastEmailModule::OnProgress(int index, int total, const QString& text)
{
    m_index = index;
    m_total = total;
    m_progressText = text;
    const QString taskText = QStringLiteral("Blast Email %1").arg(text);
    if (!m_task)
        m_task =
            m_frame.Progress().Begin(QStringLiteral("blastProgress"), taskText, [this] { m_blast.Cancel(); });
    else if (!m_task->Text().endsWith(QLatin1String(" (stopping)")))
        m_task->SetText(taskText);
    m_task->SetPercent(total > 0 ? index * 100 / total : -1);
}

void CBlastEmailModule::OnStationDone()
{
    if (m_task && m_total > 0)
        m_task->SetPercent((m_index + 1) * 100 / m_total);
}

void CBlastEmailModule::OnFinished()
{
    if (m_task)
        m_task->Finish();
    m_total = 0;
    const CBlastSummary& summary = m_blast.Summary();
    const QString text = summary.Text();
    m_frame.SetStatusText(QStringLiteral("Blast Email: %1").arg(text.section(QLatin1Char('\n'), 0, 0)));
    const bool clean = summary.refused.isEmpty() && summary.Failed() == 0 && !summary.cancelled;
    QWidget* parent = m_dialog && m_dialog->isVisible() ? static_cast<QWidget*>(m_dialog) : &m_frame;
    Prompt::Notify(parent, clean ? Prompt::Kind::Information : Prompt::Kind::Warning, text,
                   QStringLiteral("Blast Email"));
}
