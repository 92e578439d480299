#include "gui/audio/VolumePanel.h"

#include "core/audio/SoundMixer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <climits>

CVolumePanel::CVolumePanel(std::unique_ptr<CSoundMixer> mixer, QWidget* parent)
    : QWidget(parent), m_mixer(std::move(mixer))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_label = new QLabel(QStringLiteral("Volume: "), this);
    m_label->setObjectName(QStringLiteral("volumeLabel"));
    // Wide enough for "Volume: 10", so that the row does not move while the slider does.
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(QStringLiteral("Volume: 10")) + 2);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("volumeSlider"));
    m_slider->setFixedWidth(64);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setToolTip(QStringLiteral("Playback volume of the sound card"));
    m_label->setBuddy(m_slider);
    row->addWidget(m_label);
    row->addWidget(m_slider);
    connect(m_slider, &QSlider::valueChanged, this, &CVolumePanel::OnSliderMoved);
    InitVolumeSlider();
}

CVolumePanel::~CVolumePanel() = default;

void CVolumePanel::InitVolumeSlider()
{
    m_setting = true;
    m_slider->setRange(0, 10);
    m_slider->setTickInterval(1);
    const CVolumeSlider s = m_mixer->InitVolumeSlider();
    // QSlider counts in int; ALSA's volume controls stay far below its limits.
    const auto fit = [](long v) { return int(qBound(long(INT_MIN), v, long(INT_MAX))); };
    m_slider->setRange(fit(s.minimum), fit(s.maximum));
    m_slider->setTickInterval(fit(qMax(1L, s.tickInterval)));
    if (s.hasPosition)
        m_slider->setValue(fit(s.position));
    m_slider->setEnabled(s.enabled);
    if (!s.enabled)
        m_slider->setToolTip(QStringLiteral("No sound card with a playback volume"));
    m_setting = false;
}

void CVolumePanel::OnSliderMoved(int position)
{
    if (m_setting)
        return;
    m_label->setText(m_mixer->OnSliderMoved(position));
}
