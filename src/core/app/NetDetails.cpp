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
      startTime(QString::fromUtf8(Setting::NetStartTime.defaultValue))
{
}

CNetDetails CNetDetails::FromSettings(const CSettings& settings)
{
    CNetDetails d;
    d.clubName = Value(settings, Setting::ClubName);
    d.netName = Value(settings, Setting::NetName);
    d.frequency = Value(settings, Setting::NetFrequency);
    d.startTime = Value(settings, Setting::NetStartTime);
    return d;
}

void CNetDetails::Store(CSettings& settings) const
{
    settings.Set(Setting::ClubName, clubName.trimmed());
    settings.Set(Setting::NetName, netName.trimmed());
    settings.Set(Setting::NetFrequency, frequency.trimmed());
    settings.Set(Setting::NetStartTime, startTime.trimmed());
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
