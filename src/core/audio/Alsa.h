#pragma once

#include "core/audio/Wave.h"

#include <QString>
#include <alsa/asoundlib.h>

// Small helpers around ALSA shared by capture, playback and the mixer.
namespace Alsa {

// ALSA prints its own diagnostics to standard error; the program reports errors itself, so they are
// silenced once per process.
void Quiet();
// The text of an ALSA or errno error code (negative or positive).
QString ErrorText(int error);
// The sample format of a PCM format record; SND_PCM_FORMAT_UNKNOWN when ALSA has none for it.
snd_pcm_format_t SampleFormat(const CWaveFormat& format);
// Opens name for stream and sets it up for format with about latencyUs of buffering (resampling and
// conversion where the device offers them). On failure returns the negative error and leaves *pcm null.
int OpenPcm(snd_pcm_t** pcm, const QString& name, snd_pcm_stream_t stream, const CWaveFormat& format,
            unsigned latencyUs, int mode);

} // namespace Alsa
