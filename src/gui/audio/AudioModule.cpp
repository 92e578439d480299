#include "gui/audio/AudioModule.h"

#include "core/app/Settings.h"
#include "core/audio/SoundMixer.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/audio/AnnouncerPanel.h"
#include "gui/audio/RecorderPanel.h"
#include "gui/audio/VolumePanel.h"
#include "gui/log/LogwardenView.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLineEdit>
#include <QTimer>

CAudioModule::CAudioModule(CMainFrame& frame) : QObject(&frame), m_frame(frame)
{
    setObjectName(QStringLiteral("audioModule"));
    CLogwardenView& form = *frame.FormView();
    QBoxLayout* row = form.SlotLayout(CLogwardenView::Slot::AudioRow);
    CSettings& settings = frame.Settings();

    m_announcer = new CAnnouncerPanel(frame.Document().Form(), *form.CallSignBox(), settings, &form);
    m_announcer->AttachHearCallAction(frame.Commands().hearCall);
    m_volume = new CVolumePanel(
        std::make_unique<CSoundMixer>(CSoundMixer::Alsa(settings.Get(Setting::MixerCard))), &form);
    m_recorder = new CRecorderPanel(frame, &form);
    row->addWidget(m_announcer, 1);
    row->addSpacing(4);
    row->addWidget(m_volume);
    row->addSpacing(4);
    row->addWidget(m_recorder);

    // Closing the window while recording finishes the recording and offers it for saving first.
    frame.installEventFilter(this);
    // Once the window is up: what a run that ended while recording left behind.
    QTimer::singleShot(0, m_recorder, &CRecorderPanel::OfferLeftOver);
}

CAudioModule::~CAudioModule() = default;

void CAudioModule::Install(CMainFrame& frame)
{
    new CAudioModule(frame);
}

bool CAudioModule::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_frame && event->type() == QEvent::Close && !m_recorder->OnClosing()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
