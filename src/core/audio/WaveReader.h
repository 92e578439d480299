#pragma once

#include "core/audio/Wave.h"

#include <QFile>
#include <QString>
#include <memory>

// Where the frames of a PCM WAV file are.
struct CWaveLayout
{
    CWaveFormat format;
    qint64 dataOffset = 0; // of the first frame
    qint64 frameCount = 0;
};

// Reads any PCM WAV file a user may have recorded: other chunks (LIST, fact, cue...) before or after the
// data, a format chunk longer than 16 bytes, the extensible format with a PCM sub-format. Every size in
// the header is checked against the file before it is used, so a damaged or lying file gives a clear
// error, never a crash or a huge allocation.
class CWaveReader
{
public:
    // path may name a Qt resource (":/..."). Raises CFileException naming the file and the fault.
    explicit CWaveReader(const QString& path);

    const CWaveFormat& Format() const { return m_layout.format; }
    qint64 FrameCount() const { return m_layout.frameCount; }
    qint64 FramesLeft() const { return m_layout.frameCount - m_framesRead; }

    // Reads up to maxFrames frames into dest; returns how many (0 at the end). Raises CFileException.
    qint64 Read(char* dest, qint64 maxFrames);

    // The layout of the WAV on device, whose size is size bytes; raises CFileException naming name.
    static CWaveLayout Parse(QIODevice& device, qint64 size, const QString& name);

private:
    QString m_path;
    QFile m_file;
    CWaveLayout m_layout;
    qint64 m_framesRead = 0;
};
