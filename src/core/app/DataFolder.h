#pragma once

#include <QString>
#include <QStringList>

// Where the log, the licence databases and every other relative file name live.
namespace DataFolder {

// --data-dir DIR (or --data-dir=DIR) from the arguments, else $LOGWARDEN_DATA_DIR, else
// $XDG_DATA_HOME/logwarden (~/.local/share/logwarden). The result is absolute.
QString Resolve(const QStringList& arguments);
// Creates the folder when missing and makes it the working directory. Raises CFileException.
void Enter(const QString& folder);
// The names of the files the program itself keeps in the data folder (the databases, archives, ULS
// files, session files, the preamble): no command's output may land on one of them there, and only for
// these are the unmarked temporary files of earlier versions recognised.
const QStringList& ProgramFileNames();

} // namespace DataFolder
