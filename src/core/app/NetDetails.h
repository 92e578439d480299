#pragma once

#include <QString>

class CSettings;

// The club and the net it runs, as the operator set them (View > Net Settings): the net-log page names
// them, the blast's default subject and the preamble's title are made from them.
struct CNetDetails
{
    QString clubName;
    QString netName;
    QString frequency;
    QString startTime;
    // The station the net is run from, for the ADIF export: its call sign, the operator's own call when
    // another (empty: the station's) and the mode.
    QString stationCall;
    QString operatorCall;
    QString mode;

    // The defaults of the settings table.
    CNetDetails();
    // Section "Club"; a value left empty is its default.
    static CNetDetails FromSettings(const CSettings& settings);
    // Writes the values, each trimmed.
    void Store(CSettings& settings) const;

    // "Invitation: Check-in to the Ostravel 2 Meter Net @ 9:00 PM on 146.61".
    QString InvitationSubject() const;
    // The blast's subject to offer: the last one sent, else InvitationSubject().
    static QString BlastSubject(const CSettings& settings);
    // Remembers the subject of a blast. One equal to InvitationSubject() is not pinned: it goes on
    // following the net's details.
    static void RememberBlastSubject(CSettings& settings, const QString& subject);

    bool operator==(const CNetDetails&) const = default;
};
