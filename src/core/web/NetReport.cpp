#include "core/web/NetReport.h"

#include "core/app/Clock.h"
#include "core/app/Settings.h"

namespace NetReport {

CNetReport Initial(const CSettings& settings, const CClock& clock, long dayCheckins)
{
    CNetReport r;
    r.name = settings.GetString(Setting::ReportName);
    r.call = settings.GetString(Setting::ReportCall);
    const QDate today = clock.Today();
    r.date = QString::asprintf("%02d/%02d/%04d", today.month(), today.day(), today.year());
    r.message = settings.GetString(Setting::ReportMessage);
    r.checkIns = QString::number(dayCheckins);
    r.traffic = settings.GetString(Setting::ReportTraffic);
    r.announce = settings.GetInt(Setting::ReportAnnounce) != 0;
    return r;
}

void Store(CSettings& settings, const CNetReport& report)
{
    settings.SetString(Setting::ReportName, report.name);
    settings.SetString(Setting::ReportCall, report.call);
    settings.SetString(Setting::ReportDate, report.date);
    settings.SetString(Setting::ReportMessage, report.message);
    settings.SetString(Setting::ReportCheckIns, report.checkIns);
    settings.SetString(Setting::ReportTraffic, report.traffic);
    settings.SetInt(Setting::ReportAnnounce, report.announce ? 1 : 0);
}

QString EncodeValue(const QString& value)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    for (const char ch : value.toUtf8()) {
        const auto c = static_cast<unsigned char>(ch);
        const bool breaks = c <= 0x20 || c >= 0x7F || c == '&' || c == '=' || c == '#' || c == '%' ||
                            c == '+' || c == '?' || c == ';';
        if (breaks) {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[c >> 4]);
            out += QLatin1Char(hex[c & 15]);
        } else {
            out += QLatin1Char(ch);
        }
    }
    return out;
}

QString ObjectPath(const CNetReport& r)
{
    return kScriptPath + QStringLiteral("?f=") + EncodeValue(r.name) + QStringLiteral("&s=") +
           EncodeValue(r.call) + QStringLiteral("&d=") + EncodeValue(r.date) + QStringLiteral("&m=") +
           EncodeValue(r.message) + QStringLiteral("&c=") + EncodeValue(r.checkIns) + QStringLiteral("&t=") +
           EncodeValue(r.traffic) + QStringLiteral("&a=") +
           (r.announce ? QStringLiteral("Yes") : QStringLiteral("No"));
}

CWebResponse Send(CWebRequest& request, const QString& server, const CNetReport& report)
{
    request.SetServer(server);
    request.SetPort(QString());
    request.SetObjectPath(ObjectPath(report));
    return request.Get();
}

} // namespace NetReport
