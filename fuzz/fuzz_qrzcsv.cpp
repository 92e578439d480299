// Fuzzes the reader of the QRZ CSV file's lines: every cell must lie inside the text it appended,
// hold valid UTF-8 of at most its column's width, and a rejected line must leave the text as it was.
#include "core/qrz/QrzCsv.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The parser sees one line: no line feed inside it.
    const char* line = reinterpret_cast<const char*>(data);
    const void* lf = std::memchr(line, '\n', size);
    const size_t length = lf ? size_t(static_cast<const char*>(lf) - line) : size;
    std::string text = "before";
    QrzCsv::CRow row;
    const QrzCsv::Reject reject = QrzCsv::ParseLine(line, length, text, row);
    if (reject != QrzCsv::Reject::None) {
        if (text != "before")
            std::abort();
        return 0;
    }
    if (row.cells[QrzSchema::kCallSignColumn].length <= 0)
        std::abort();
    for (int i = 0; i < QrzSchema::kColumnCount; ++i) {
        const QrzCsv::CCell& c = row.cells[i];
        if (c.length < 0)
            continue;
        if (i == QrzSchema::kCountryColumn || c.offset < 6 ||
            size_t(c.offset) + size_t(c.length) > text.size())
            std::abort();
        const QByteArray bytes(text.data() + c.offset, c.length);
        const QString value = QString::fromUtf8(bytes);
        if (value.toUtf8() != bytes || value.toUcs4().size() > QrzSchema::kColumns[i].width)
            std::abort();
    }
    return 0;
}
