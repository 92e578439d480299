#include "core/audio/Alsa.h"

#include <cstring>
#include <mutex>

namespace {

void Discard(const char*, int, const char*, int, const char*, ...) {}

} // namespace

namespace Alsa {

void Quiet()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&Discard); });
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(snd_strerror(error < 0 ? error : -error));
}

snd_pcm_format_t SampleFormat(const CWaveFormat& format)
{
    switch (format.wBitsPerSample) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return SND_PCM_FORMAT_S24_3LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

int OpenPcm(snd_pcm_t** pcm, const QString& name, snd_pcm_stream_t stream, const CWaveFormat& format,
            unsigned latencyUs, int mode)
{
    Quiet();
    *pcm = nullptr;
    const snd_pcm_format_t sampleFormat = SampleFormat(format);
    if (sampleFormat == SND_PCM_FORMAT_UNKNOWN || format.nChannels == 0)
        return -EINVAL;
    snd_pcm_t* handle = nullptr;
    int err = snd_pcm_open(&handle, name.toLocal8Bit().constData(), stream, mode);
    if (err < 0)
        return err;
    err = snd_pcm_set_params(handle, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                             format.nSamplesPerSec, 1, latencyUs);
    if (err < 0) {
        snd_pcm_close(handle);
        return err;
    }
    *pcm = handle;
    return 0;
}

} // namespace Alsa
