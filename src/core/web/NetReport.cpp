#include "core/web/NetReport.h"

#include "core/app/Settings.h"

#include <algorithm>

namespace NetReport {

CNetReport Initial(const CSettings& settings, const QDate& day,
                   const std::vector<CCheckinRecord>& dayCheckins)
{
    CNetReport r;
    r.name = settings.GetString(Setting::ReportName);
    r.call = settings.GetString(Setting::ReportCall);
    r.date = QString::asprintf("%02d/%02d/%04d", day.month(), day.day(), day.year());
    r.message = settings.GetString(Setting::ReportMessage);
    r.checkIns = QString::number(dayCheckins.size());
    r.traffic = QString::number(std::count_if(dayCheckins.cbegin(), dayCheckins.cend(),
                                              [](const CCheckinRecord& c) { return c.hasTraffic; }));
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
