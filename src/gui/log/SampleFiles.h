#pragma once

#include <QString>

// Files a new user starts with, copied from the program's resources.
namespace SampleFiles {

// On the first run (no log in the data folder yet) copies the sample net preamble there as
// "preamble.rtf", unless one is there already. Returns true when it copied the file.
bool InstallOnFirstRun(const QString& dataFolder);
// The sample preamble as the program carries it.
QByteArray SamplePreamble();

} // namespace SampleFiles
