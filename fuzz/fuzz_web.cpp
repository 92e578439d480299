// The readers of the club server's pre-net and EchoLink pages: no page may crash them, hang them or make
// them read outside the page, and what they return keeps their promises: entries read to their end with
// tags left out and references decoded, no field with a line end or control character or loose blanks,
// no more entries than the cap.
#include "core/web/PreNet.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

// Trimmed, single blanks, no control character: a field can never print as two lines.
bool CleanField(const QString& field)
{
    if (field != field.simplified())
        return false;
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const CPreNetPage page = PreNet::ParsePage(body);
    if (page.entries.size() > PreNet::kMaxEntries || page.status == CPreNetPage::Failed)
        std::abort();
    if (page.status == CPreNetPage::Entries) {
        if (page.entries.empty() || body.size() <= 1375 || body.contains("404"))
            std::abort();
        for (const CPreNetEntry& e : page.entries) {
            if (e.call.isEmpty() || e.call.contains(QLatin1Char('+')) || !CleanField(e.call) ||
                !CleanField(e.name) || !CleanField(e.location))
                std::abort();
        }
    } else if (!page.entries.empty() || page.Message().isEmpty()) {
        std::abort();
    }

    // A page of one entry built from the input: its text comes back whatever tags surround it.
    QByteArray call = body.left(12);
    call.replace('<', "").replace('>', "").replace('&', "").replace(',', "").replace('+', "");
    const QByteArray wrapped = "<html><body><form></form><!--" + QByteArray(1400, '-') + "--><ul><li><b>" +
                               call + "</b>, Hiram &amp; Sons</li></ul></body></html>";
    if (!wrapped.contains("404")) {
        const CPreNetPage one = PreNet::ParsePage(wrapped);
        if (one.status == CPreNetPage::Entries &&
            (one.entries.size() != 1 || one.entries[0].name != QLatin1String("Hiram & Sons") ||
             !one.entries[0].location.isEmpty()))
            std::abort();
    }

    const QString text = QString::fromUtf8(body);
    bool capped = false;
    const QStringList stations = PreNet::ParseEchoLink(text, &capped);
    if (stations.size() > qsizetype(PreNet::kMaxEntries))
        std::abort();
    for (const QString& s : stations) {
        if (s.isEmpty() || s.contains(QLatin1Char(' ')))
            std::abort();
    }
    (void)PreNet::Reselect(stations, text.left(8), int(size % 7) - 1);
    return 0;
}
