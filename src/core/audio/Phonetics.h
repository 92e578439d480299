#pragma once

#include <QString>
#include <QStringList>

// Call signs spelled in phonetic words, spoken from the built-in sounds, and the operator's own
// recordings of call signs.
namespace Phonetics {

// The word of a capital letter A to Z ("Alpha", "Bravo", ... "Zulu"); empty for anything else.
QString Word(QChar letter);
// The phonetic line: each capital letter becomes its word, every other character stays itself; the
// pieces are joined by " - " ("AB1/M" gives "Alpha - Bravo - 1 - / - Mike").
QString Line(const QString& text);

// The built-in sound of a character (":/sounds/A.wav" ... ":/sounds/9.wav"): each letter its word, each
// digit its number; empty for a character without one.
QString SoundOf(QChar c);
// The sounds of a call sign, one per character (empty for a silent one), for CSoundPlayer::PlaySequence.
QStringList Sounds(const QString& call);
// The time from one character's sound to the next.
inline constexpr int kIntervalMs = 600;

// The operator's recording of call: "CALLS/<call>.wav" in dataFolder, a "/" of the call as "_", the
// names compared without regard to case. Empty when there is none.
QString CallRecording(const QString& dataFolder, const QString& call);

} // namespace Phonetics
