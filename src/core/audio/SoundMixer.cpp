#include "core/audio/SoundMixer.h"

#include "core/audio/Alsa.h"

namespace {

class CAlsaMixer : public CMixerBackend
{
public:
    explicit CAlsaMixer(QString card) : m_card(std::move(card)) {}
    ~CAlsaMixer() override
    {
        if (m_mixer)
            snd_mixer_close(m_mixer);
    }

    OpenResult Open() override
    {
        Alsa::Quiet();
        int card = -1;
        if (snd_card_next(&card) < 0 || card < 0)
            return NoDevice;
        int err = snd_mixer_open(&m_mixer, 0);
        if (err >= 0)
            err = snd_mixer_attach(m_mixer, m_card.toLocal8Bit().constData());
        if (err >= 0)
            err = snd_mixer_selem_register(m_mixer, nullptr, nullptr);
        if (err >= 0)
            err = snd_mixer_load(m_mixer);
        if (err < 0) {
            m_error = QStringLiteral("Cannot open the mixer of \"%1\": %2").arg(m_card, Alsa::ErrorText(err));
            if (m_mixer)
                snd_mixer_close(m_mixer);
            m_mixer = nullptr;
            return Failed;
        }
        return Opened;
    }

    bool FindVolumeControl(long& minimum, long& maximum) override
    {
        if (!m_mixer)
            return false;
        // Cards without "Master" (most USB radio interfaces) name their volume otherwise.
        for (const char* name : {"Master", "PCM", "Speaker"}) {
            for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e)) {
                if (qstrcmp(snd_mixer_selem_get_name(e), name) == 0 &&
                    snd_mixer_selem_has_playback_volume(e)) {
                    m_elem = e;
                    break;
                }
            }
            if (m_elem)
                break;
        }
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e && !m_elem; e = snd_mixer_elem_next(e))
            if (snd_mixer_selem_is_active(e) && snd_mixer_selem_has_playback_volume(e))
                m_elem = e;
        if (!m_elem) {
            m_error = QStringLiteral("The sound card \"%1\" has no playback volume").arg(m_card);
            return false;
        }
        return snd_mixer_selem_get_playback_volume_range(m_elem, &minimum, &maximum) >= 0;
    }

    bool GetVolume(long& value) override
    {
        if (!m_elem)
            return false;
        return snd_mixer_selem_get_playback_volume(m_elem, SND_MIXER_SCHN_FRONT_LEFT, &value) >= 0;
    }

    bool SetVolume(long value) override
    {
        if (!m_elem)
            return false;
        const int err = snd_mixer_selem_set_playback_volume_all(m_elem, value);
        if (err < 0)
            m_error = Alsa::ErrorText(err);
        return err >= 0;
    }

    QString GetErrorText() const override { return m_error; }

private:
    QString m_card;
    snd_mixer_t* m_mixer = nullptr;
    snd_mixer_elem_t* m_elem = nullptr;
    QString m_error;
};

} // namespace

CSoundMixer::CSoundMixer(std::unique_ptr<CMixerBackend> backend) : m_backend(std::move(backend)) {}

CSoundMixer::~CSoundMixer() = default;

std::unique_ptr<CMixerBackend> CSoundMixer::Alsa(const QString& card)
{
    return std::make_unique<CAlsaMixer>(card.isEmpty() ? QStringLiteral("default") : card);
}

CVolumeSlider CSoundMixer::InitVolumeSlider()
{
    CVolumeSlider slider;
    m_found = false;
    m_minimum = m_maximum = 0;
    const CMixerBackend::OpenResult opened = m_backend->Open();
    if (opened == CMixerBackend::Failed)
        return slider; // stays 0..10 and enabled; moving it changes nothing
    long minimum = 0;
    long maximum = 0;
    if (opened != CMixerBackend::Opened || !m_backend->FindVolumeControl(minimum, maximum)) {
        slider.enabled = false;
        return slider;
    }
    m_found = true;
    m_minimum = minimum;
    m_maximum = maximum;
    slider.minimum = minimum;
    slider.maximum = maximum;
    slider.tickInterval = qMax(1L, (maximum - minimum) / 10);
    long value = 0;
    if (GetVolume(value)) {
        slider.hasPosition = true;
        slider.position = value;
    }
    return slider;
}

bool CSoundMixer::GetVolume(long& value)
{
    return m_found && m_backend->GetVolume(value);
}

bool CSoundMixer::SetVolume(long value)
{
    return m_found && m_backend->SetVolume(value);
}

QString CSoundMixer::GetErrorText() const
{
    return m_backend->GetErrorText();
}

QString CSoundMixer::OnSliderMoved(long position)
{
    SetVolume(position);
    if (!m_found)
        return QStringLiteral("Volume: %1").arg(ScaledVolume(position, 0, 10));
    return QStringLiteral("Volume: %1").arg(ScaledVolume(position, m_minimum, m_maximum));
}

int CSoundMixer::ScaledVolume(long position, long minimum, long maximum)
{
    if (maximum <= minimum)
        return 0;
    const long long span = (long long)maximum - minimum;
    const long long at = qBound<long long>(0, (long long)position - minimum, span);
    // Tenths of the range, truncated as the slider's ticks are (3277 of 65535 is still 0, 62300 is 9).
    const long long tick = span / 10;
    if (tick == 0)
        return int(at * 10 / span); // a range of fewer than 10 steps
    return int(qMin<long long>(10, at / tick));
}
