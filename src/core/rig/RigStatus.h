#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

// What the radio said at its last poll or command.
struct CRigStatus
{
    bool configured = false; // a rig is set up at all
    bool connected = false;  // the radio answered
    qint64 frequencyHz = 0;
    QString mode;     // Hamlib's name of the radio's mode: "FM", "USB", "PKTUSB", ...
    bool ptt = false; // keyed, as read back from the radio (off when it cannot tell)
    // Not connected: why not (Hamlib's reason, e.g. "Communication timed out"). Connected: what the radio
    // refused of the last command, e.g. "PTT refused: Invalid parameter"; empty when it did it.
    QString error;

    // For the status bar: "Rig: 146.610 MHz FM", "Rig: not answering", "Rig: PTT refused: <why>",
    // "Rig: none".
    QString Text() const;
    bool operator==(const CRigStatus& other) const = default;
};
Q_DECLARE_METATYPE(CRigStatus)
