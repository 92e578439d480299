#include "core/app/NetDetails.h"

#include "core/app/Settings.h"

namespace {

QString Value(const CSettings& settings, const Key<QString>& setting)
{
    const QString value = settings.Get(setting).trimmed();
    return value.isEmpty() ? settings.GetDefault(setting) : value;
}

} // namespace

CNetDetails::CNetDetails()
    : clubName(QString::fromUtf8(Setting::ClubName.defaultValue)),
      netName(QString::fromUtf8(Setting::NetName.defaultValue)),
      frequency(QString::fromUtf8(Setting::NetFrequency.defaultValue)),
      startTime(QString::fromUtf8(Setting::NetStartTime.defaultValue)),
      mode(QString::fromUtf8(Setting::StationMode.defaultValue))
{
}

CNetDetails CNetDetails::FromSettings(const CSettings& settings)
{
    CNetDetails d;
    d.clubName = Value(settings, Setting::ClubName);
    d.netName = Value(settings, Setting::NetName);
    d.frequency = Value(settings, Setting::NetFrequency);
    d.startTime = Value(settings, Setting::NetStartTime);
    d.stationCall = settings.Get(Setting::StationCall).trimmed().toUpper();
    d.operatorCall = settings.Get(Setting::StationOperator).trimmed().toUpper();
    d.mode = Value(settings, Setting::StationMode).toUpper();
    return d;
}

void CNetDetails::Store(CSettings& settings) const
{
    settings.Set(Setting::ClubName, clubName.trimmed());
    settings.Set(Setting::NetName, netName.trimmed());
    settings.Set(Setting::NetFrequency, frequency.trimmed());
    settings.Set(Setting::NetStartTime, startTime.trimmed());
    settings.Set(Setting::StationCall, stationCall.trimmed().toUpper());
    settings.Set(Setting::StationOperator, operatorCall.trimmed().toUpper());
    settings.Set(Setting::StationMode, mode.trimmed().toUpper());
    settings.Sync();
}

QString CNetDetails::InvitationSubject() const
{
    return QStringLiteral("Invitation: Check-in to the %1 @ %2 on %3").arg(netName, startTime, frequency);
}

QString CNetDetails::BlastSubject(const CSettings& settings)
{
    const QString last = settings.Get(Setting::MailSubject);
    return last.trimmed().isEmpty() ? FromSettings(settings).InvitationSubject() : last;
}

void CNetDetails::RememberBlastSubject(CSettings& settings, const QString& subject)
{
    const bool followsTheNet =
        subject.trimmed().isEmpty() || subject == FromSettings(settings).InvitationSubject();
    settings.Set(Setting::MailSubject, followsTheNet ? QString() : subject);
}
