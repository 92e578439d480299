#pragma once

#include <QString>

class CSettings;

// Files a new user starts with, copied from the program's resources.
namespace SampleFiles {

// The first time the program starts with this data folder's settings, puts the sample net preamble into
// the folder as "preamble.rtf", unless one is there already. It is offered once: a preamble the user
// removed later does not come back. Returns true when it wrote the file.
bool InstallOnFirstRun(const QString& dataFolder, CSettings& settings);
// The sample preamble as the program carries it.
QByteArray SamplePreamble();

} // namespace SampleFiles
