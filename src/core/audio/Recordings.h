#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class CSettings;

// Where session recordings are streamed, what a crash left there, and how a finished recording is put
// where the operator wants it.
//
// A recording "<base>" streams into "<base>.wav", then "<base>-2.wav", "<base>-3.wav"... (a file is never
// let grow to 2 GiB), beside a marker "<base>.recording" that its recorder holds locked. The marker
// stays until the operator has dealt with the recording; an unlocked marker is a recording left by a
// program that ended without dealing with it (a crash, a power cut).
namespace Recordings {

// The folder in the data folder.
QString Folder(const QString& dataFolder);

// The files of a recording, in order.
struct CRecording
{
    QString marker;
    QStringList files;
    qint64 frames = 0; // all files together
};

// The recordings in folder whose recorder is gone, each file's header made to cover every whole frame
// it holds. A file that cannot be repaired is left out (and stays where it is).
QList<CRecording> RecoverLeftOver(const QString& folder);
// The files of the recording of marker, in order.
QStringList FilesOf(const QString& marker);
// Removes the marker of a recording that has been dealt with (saved, or kept where it is).
void Dismiss(const QString& marker);

// The name of part (1, 2, ...) of a recording saved as target: target itself, then "<stem>-2.wav"...
QString PartName(const QString& target, int part);
// Moves the files to target (a renaming, or a copy and removal across file systems), replacing what is
// there; returns the names they got. Raises CFileException; files not yet moved stay where they were.
QStringList MoveTo(const QStringList& files, const QString& target);

// The name offered for saving the recording of a net held on day: "Net yyyy-MM-dd.wav" in the folder
// of lastPath (the last file saved, or a folder).
QString SuggestName(const QString& lastPath, const QDate& day);
// Remembers a saved recording in the "WaveFile" settings.
void Remember(CSettings& settings, const QString& savedPath);

} // namespace Recordings
