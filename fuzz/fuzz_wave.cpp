// Fuzzes the WAV readers: the tolerant reader of any PCM WAV (what "Hear Call" plays) and the reader of
// the program's own 44-byte layout. Any input must give a layout within the input or a clear error;
// never a crash, a read past the end or an allocation larger than the input.
#include "core/Exceptions.h"
#include "core/audio/Wave.h"
#include "core/audio/WaveReader.h"

#include <QBuffer>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        try {
            const CWaveLayout layout = CWaveReader::Parse(buffer, bytes.size(), QStringLiteral("fuzz.wav"));
            const qint64 end = layout.dataOffset + layout.frameCount * layout.format.nBlockAlign;
            if (layout.format.nBlockAlign == 0 || layout.dataOffset < 12 || end > bytes.size()) {
                std::fprintf(stderr, "fuzz_wave: layout outside the input\n");
                std::abort();
            }
            // What the player would read.
            buffer.seek(layout.dataOffset);
            const QByteArray frames = buffer.read(end - layout.dataOffset);
            if (frames.size() != end - layout.dataOffset)
                std::abort();
        } catch (const CFileException&) {
        }
    }
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        CWave wave;
        try {
            wave.Load(buffer, QStringLiteral("fuzz.wav"));
            if (wave.GetSampleCount() * wave.GetFormat().nBlockAlign > qint64(size))
                std::abort();
        } catch (const CFileException&) {
        }
    }
    return 0;
}
