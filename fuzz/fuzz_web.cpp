// The readers of the club server's pre-net and EchoLink pages: no page may crash them, hang them or make
// them read outside the page, and what they return keeps their promises.
#include "core/web/PreNet.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const CPreNetPage page = PreNet::ParsePage(body);
    if (page.status == CPreNetPage::Entries) {
        if (page.entries.empty() || body.size() <= 1375 || body.contains("404"))
            std::abort();
        for (const CPreNetEntry& e : page.entries) {
            if (e.call.isEmpty() || e.call.contains(QLatin1Char('+')) || e.call.contains(QLatin1Char('<')) ||
                e.name.contains(QLatin1Char(',')) || e.name.contains(QLatin1Char('<')) ||
                e.location.contains(QLatin1Char('<')))
                std::abort();
        }
    } else if (!page.entries.empty() || page.Message().isEmpty()) {
        std::abort();
    }

    const QString text = QString::fromUtf8(body);
    const QStringList stations = PreNet::ParseEchoLink(text);
    for (const QString& s : stations) {
        if (s.isEmpty() || s.contains(QLatin1Char(' ')))
            std::abort();
    }
    (void)PreNet::Reselect(stations, text.left(8), int(size % 7) - 1);
    return 0;
}
