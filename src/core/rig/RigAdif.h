#pragma once

#include <QString>
#include <QtGlobal>

// What the radio reports, in the terms an ADIF record uses.
namespace RigAdif {

// The ADIF band of a frequency in Hz ("2m" for 146610000, "40m" for 7100000); empty outside every
// amateur band.
QString Band(qint64 hz);
// The ADIF FREQ field: MHz with no trailing zeros, to the Hz ("146.61", "7.1", "14.0745", "50").
// Empty for a frequency that is not positive.
QString FrequencyMHz(qint64 hz);

struct CMode
{
    QString mode;    // ADIF MODE: "FM", "SSB", "CW", ...; empty when the radio's setting names none
    QString submode; // ADIF SUBMODE: "USB" and "LSB" under SSB, ...; often empty
    bool operator==(const CMode& other) const = default;
};
// The ADIF mode of Hamlib's name for the radio's mode ("USB" -> SSB/USB, "PKTFM" -> PKT).
CMode Mode(const QString& hamlibMode);

} // namespace RigAdif
