#include "core/audio/WaveDevice.h"

#include "core/audio/Alsa.h"
#include "core/audio/Wave.h"

CWaveDevice::CWaveDevice(QString name)
    : m_name(name.isEmpty() ? QString::fromLatin1(kDefault) : std::move(name))
{
}

bool CWaveDevice::QueryInputFormat(const CWave& wave)
{
    m_error.clear();
    snd_pcm_t* pcm = nullptr;
    const int err =
        Alsa::OpenPcm(&pcm, m_name, SND_PCM_STREAM_CAPTURE, wave.GetFormat(), 500000, SND_PCM_NONBLOCK);
    if (err < 0) {
        m_error = err == -EINVAL ? QStringLiteral("Format not supported")
                                 : QStringLiteral("Cannot open the capture device \"%1\": %2")
                                       .arg(m_name, Alsa::ErrorText(err));
        return false;
    }
    snd_pcm_close(pcm);
    return true;
}
