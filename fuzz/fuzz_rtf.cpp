// The net preamble's RTF reader: no file may crash it, hang it or make it read outside the data, and what
// it returns keeps its promises.
#include "core/Exceptions.h"
#include "core/log/RtfReader.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray rtf(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const CRtfDocument doc = RtfReader::Parse(rtf);
        qsizetype text = 0;
        for (const CRtfParagraph& p : doc.paragraphs) {
            for (const CRtfRun& r : p.runs) {
                if (r.halfPoints <= 0)
                    std::abort();
                text += r.text.size();
            }
        }
        // Every character of the text comes from at least one byte of the file (\uN and \'hh take more).
        if (text > rtf.size())
            std::abort();
        (void)doc.PlainText();
    } catch (const CLogwardenException&) {
        // Not RTF, or nested too deep: said so, nothing read.
    }
    return 0;
}
