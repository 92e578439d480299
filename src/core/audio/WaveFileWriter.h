#pragma once

#include "core/audio/Wave.h"

#include <QString>

// A WAV file written as the frames arrive, for recordings too long to keep in memory. The header is
// rewritten at every checkpoint, after the frames before it are on disk, so that the file is valid and
// holds all but the frames since the last checkpoint whatever happens to the program.
class CWaveFileWriter
{
public:
    // Creates path, which must not exist yet, with a header for no frames. Raises CFileException.
    CWaveFileWriter(const QString& path, const CWaveFormat& format);
    // Finishes the file; errors are dropped (call Finish() to see them).
    ~CWaveFileWriter();
    CWaveFileWriter(const CWaveFileWriter&) = delete;
    CWaveFileWriter& operator=(const CWaveFileWriter&) = delete;

    // Appends whole frames. Raises CFileException (a full disk among others); what was written before
    // stays in the file.
    void Append(const char* data, qint64 bytes);
    // Puts the frames written so far on disk and makes the header describe them. Raises CFileException.
    void Checkpoint();
    // Checkpoint and close; the file then ends after its last whole frame. Raises CFileException.
    void Finish();

    const QString& Path() const { return m_path; }
    qint64 DataBytes() const { return m_dataBytes; }

    // Makes the header of a WAV file of this program's layout describe every whole frame the file holds,
    // for a recording whose writer was killed. Returns the frames. Raises CFileException.
    static qint64 Repair(const QString& path);

private:
    void WriteHeader();
    [[noreturn]] void Fail(const QString& what, int error);

    QString m_path;
    CWaveFormat m_format;
    int m_fd = -1;
    qint64 m_dataBytes = 0;
    qint64 m_headerBytes = -1; // data size the header on disk states
};
