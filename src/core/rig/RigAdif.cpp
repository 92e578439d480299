#include "core/rig/RigAdif.h"

#include <QHash>
#include <iterator>

namespace RigAdif {

namespace {

struct CBand
{
    qint64 lowHz;
    qint64 highHz;
    const char* name;
};

// ADIF's band table (edges included), in Hz.
constexpr CBand kBands[] = {
    {135'700, 137'800, "2190m"},
    {472'000, 479'000, "630m"},
    {501'000, 504'000, "560m"},
    {1'800'000, 2'000'000, "160m"},
    {3'500'000, 4'000'000, "80m"},
    {5'060'000, 5'450'000, "60m"},
    {7'000'000, 7'300'000, "40m"},
    {10'100'000, 10'150'000, "30m"},
    {14'000'000, 14'350'000, "20m"},
    {18'068'000, 18'168'000, "17m"},
    {21'000'000, 21'450'000, "15m"},
    {24'890'000, 24'990'000, "12m"},
    {28'000'000, 29'700'000, "10m"},
    {40'000'000, 45'000'000, "8m"},
    {50'000'000, 54'000'000, "6m"},
    {54'000'001, 69'900'000, "5m"},
    {70'000'000, 71'000'000, "4m"},
    {144'000'000, 148'000'000, "2m"},
    {222'000'000, 225'000'000, "1.25m"},
    {420'000'000, 450'000'000, "70cm"},
    {902'000'000, 928'000'000, "33cm"},
    {1'240'000'000, 1'300'000'000, "23cm"},
    {2'300'000'000, 2'450'000'000, "13cm"},
    {3'300'000'000, 3'500'000'000, "9cm"},
    {5'650'000'000, 5'925'000'000, "6cm"},
    {10'000'000'000, 10'500'000'000, "3cm"},
    {24'000'000'000, 24'250'000'000, "1.25cm"},
    {47'000'000'000, 47'200'000'000, "6mm"},
    {75'500'000'000, 81'000'000'000, "4mm"},
    {119'980'000'000, 123'000'000'000, "2.5mm"},
    {134'000'000'000, 149'000'000'000, "2mm"},
    {241'000'000'000, 250'000'000'000, "1mm"},
    {300'000'000'000, 7'500'000'000'000, "submm"},
};

} // namespace

QString Band(qint64 hz)
{
    for (const CBand& band : kBands)
        if (hz >= band.lowHz && hz <= band.highHz)
            return QString::fromLatin1(band.name);
    return {};
}

QString FrequencyMHz(qint64 hz)
{
    if (hz <= 0)
        return {};
    // Whole numbers all the way: no rounding of a binary fraction can change a digit.
    QString text = QString::number(hz / 1'000'000);
    QString fraction = QStringLiteral("%1").arg(hz % 1'000'000, 6, 10, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text;
}

CMode Mode(const QString& hamlibMode)
{
    // Hamlib's names as rig_strrmode() writes them (some with older spellings). The packet settings of a
    // radio say that a program feeds it, not which data mode it sends: only FM packet is AX.25 packet radio
    // with any likelihood, the others are left for the operator to name.
    static const QHash<QString, CMode> modes{
        {QStringLiteral("AM"), {QStringLiteral("AM"), {}}},
        {QStringLiteral("AMS"), {QStringLiteral("AM"), {}}},
        {QStringLiteral("AMN"), {QStringLiteral("AM"), {}}},
        {QStringLiteral("SAM"), {QStringLiteral("AM"), {}}},
        {QStringLiteral("SAL"), {QStringLiteral("AM"), {}}},
        {QStringLiteral("SAH"), {QStringLiteral("AM"), {}}},
        {QStringLiteral("DSB"), {QStringLiteral("AM"), {}}},
        {QStringLiteral("FM"), {QStringLiteral("FM"), {}}},
        {QStringLiteral("FMN"), {QStringLiteral("FM"), {}}},
        {QStringLiteral("WFM"), {QStringLiteral("FM"), {}}},
        {QStringLiteral("USB"), {QStringLiteral("SSB"), QStringLiteral("USB")}},
        {QStringLiteral("LSB"), {QStringLiteral("SSB"), QStringLiteral("LSB")}},
        {QStringLiteral("ECSSUSB"), {QStringLiteral("SSB"), QStringLiteral("USB")}},
        {QStringLiteral("ECSSLSB"), {QStringLiteral("SSB"), QStringLiteral("LSB")}},
        {QStringLiteral("ISBUSB"), {QStringLiteral("SSB"), QStringLiteral("USB")}},
        {QStringLiteral("ISBLSB"), {QStringLiteral("SSB"), QStringLiteral("LSB")}},
        {QStringLiteral("CW"), {QStringLiteral("CW"), {}}},
        {QStringLiteral("CWR"), {QStringLiteral("CW"), {}}},
        {QStringLiteral("CWN"), {QStringLiteral("CW"), {}}},
        {QStringLiteral("RTTY"), {QStringLiteral("RTTY"), {}}},
        {QStringLiteral("RTTYR"), {QStringLiteral("RTTY"), {}}},
        {QStringLiteral("PSK"), {QStringLiteral("PSK"), QStringLiteral("PSK31")}},
        {QStringLiteral("PSKR"), {QStringLiteral("PSK"), QStringLiteral("PSK31")}},
        {QStringLiteral("FAX"), {QStringLiteral("FAX"), {}}},
        {QStringLiteral("PKTFM"), {QStringLiteral("PKT"), {}}},
        {QStringLiteral("PKTFMN"), {QStringLiteral("PKT"), {}}},
        {QStringLiteral("FM-D"), {QStringLiteral("PKT"), {}}},
        {QStringLiteral("D-STAR"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("DSTAR")}},
        {QStringLiteral("DD"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("DSTAR")}},
        {QStringLiteral("C4FM"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("C4FM")}},
        {QStringLiteral("P25"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("P25")}},
        {QStringLiteral("DPMR"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("DPMR")}},
        {QStringLiteral("NXDN-VN"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("NXDN")}},
        {QStringLiteral("NXDN-N"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("NXDN")}},
        {QStringLiteral("DCR"), {QStringLiteral("DIGITALVOICE"), QStringLiteral("DCR")}},
    };
    return modes.value(hamlibMode.trimmed().toUpper());
}

} // namespace RigAdif
