#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport {

// Writes home/.asoundrc with two devices of ALSA's file plugin: "feed" captures the raw 16-bit samples
// of infile (as fast as they are read), "played" appends whatever is played to outfile. ALSA reads the
// file from $HOME, so a test points HOME at home before its first use of ALSA.
void WriteAsoundrc(const QString& home, const QString& infile, const QString& outfile);
// Adds to home/.asoundrc the devices of the test plugin (tests/support/alsastub): "held" captures a ramp,
// heldFrames at once and laterFrames more, without waking the reader, once the file home/more exists;
// "busy" is held by another program; "stuck" hangs in its close. The last two wait for the file
// home/release. False when the plugin was not built.
bool AddStubDevices(const QString& home, qint64 heldFrames, qint64 laterFrames);
// frames mono 16-bit little-endian samples, never silent, the same for the same seed.
QByteArray TestSamples(qint64 frames, int seed = 1);
// The sample data of a WAV file with the plain 44-byte header.
QByteArray WavData(const QString& path);

} // namespace TestSupport
