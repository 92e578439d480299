#include "core/web/NetReport.h"

#include "core/app/Settings.h"

#include <algorithm>

namespace NetReport {

CNetReport Initial(const CSettings& settings, const QDate& day,
                   const std::vector<CCheckinRecord>& dayCheckins)
{
    CNetReport r;
    r.name = settings.Get(Setting::ReportName);
    r.call = settings.Get(Setting::ReportCall);
    r.date = QString::asprintf("%02d/%02d/%04d", day.month(), day.day(), day.year());
    r.message = settings.Get(Setting::ReportMessage);
    r.checkIns = QString::number(dayCheckins.size());
    r.traffic = QString::number(std::count_if(dayCheckins.cbegin(), dayCheckins.cend(),
                                              [](const CCheckinRecord& c) { return c.hasTraffic; }));
    r.announce = settings.Get(Setting::ReportAnnounce);
    return r;
}

void Store(CSettings& settings, const CNetReport& report)
{
    settings.Set(Setting::ReportName, report.name);
    settings.Set(Setting::ReportCall, report.call);
    settings.Set(Setting::ReportDate, report.date);
    settings.Set(Setting::ReportMessage, report.message);
    settings.Set(Setting::ReportCheckIns, report.checkIns);
    settings.Set(Setting::ReportTraffic, report.traffic);
    settings.Set(Setting::ReportAnnounce, report.announce);
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
