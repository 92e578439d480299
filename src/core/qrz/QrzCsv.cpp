#include "core/qrz/QrzCsv.h"

#include "core/db/SqliteBulkLoader.h"

#include <cstring>

namespace QrzCsv {

namespace {

// Windows-1252 characters of 0x80-0x9F; the five it leaves undefined keep their Latin-1 meaning.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the UTF-8 sequence at p, 0 when it is not one (overlong forms, surrogates and values
// beyond U+10FFFF included).
size_t Utf8Sequence(const unsigned char* p, const unsigned char* e)
{
    const unsigned c = p[0];
    size_t n;
    unsigned min;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (size_t(e - p) < n)
        return 0;
    unsigned value = c & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return n;
}

// Cuts the field text[start..] to `width` characters, converting it from Windows-1252 when it is not
// UTF-8.
void Fit(std::string& text, size_t start, int width, bool ascii)
{
    // A byte-order mark at a field's start (a file joined from pieces) is no character of the value.
    while (!ascii && text.compare(start, 3, "\xEF\xBB\xBF") == 0)
        text.erase(start, 3);
    const size_t length = text.size() - start;
    if (ascii) {
        if (length > size_t(width))
            text.resize(start + size_t(width));
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(text.data() + start);
    const auto* const e = p + length;
    const auto* q = p;
    bool utf8 = true;
    int characters = 0;
    size_t cut = length;
    while (q < e) {
        const size_t n = Utf8Sequence(q, e);
        if (n == 0) {
            utf8 = false;
            break;
        }
        if (characters == width && cut == length)
            cut = size_t(q - p);
        ++characters;
        q += n;
    }
    if (utf8) {
        text.resize(start + cut);
        return;
    }
    std::string converted;
    characters = 0;
    for (const auto* r = p; r < e && characters < width; ++r, ++characters) {
        unsigned c = *r;
        if (c < 0x80) {
            converted += char(c);
            continue;
        }
        if (c < 0xA0)
            c = kCp1252High[c - 0x80];
        if (c < 0x800) {
            converted += char(0xC0 | (c >> 6));
            converted += char(0x80 | (c & 0x3F));
        } else {
            converted += char(0xE0 | (c >> 12));
            converted += char(0x80 | ((c >> 6) & 0x3F));
            converted += char(0x80 | (c & 0x3F));
        }
    }
    text.resize(start);
    text += converted;
}

qint32 LeadingNumber(const char* p, const char* e)
{
    while (p < e && (*p == ' ' || *p == '\t'))
        ++p;
    bool negative = false;
    if (p < e && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    qint64 value = 0;
    for (; p < e && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > 2147483648LL)
            value = 2147483648LL;
    }
    if (negative)
        value = -value;
    return qint32(value > 2147483647LL ? 2147483647LL : value);
}

bool IsAscii(const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

Reject ParseLine(const char* line, size_t length, std::string& text, CRow& row)
{
    const size_t before = text.size();
    for (CCell& cell : row.cells)
        cell.length = -1;
    row.country = 0;
    CFieldSplitter fields(line, length, ',');
    for (int k = 0; k < QrzSchema::kColumnCount; ++k) {
        const size_t start = text.size();
        const CFieldSplitter::Csv field = fields.NextCsv(text);
        if (field == CFieldSplitter::Csv::UnclosedQuote) {
            text.resize(before);
            return Reject::UnclosedQuote;
        }
        // Not followed by a ",": not taken, and nothing after it is.
        if (field == CFieldSplitter::Csv::End)
            break;
        const size_t n = text.size() - start;
        if (k == QrzSchema::kCountryColumn) {
            row.country = LeadingNumber(text.data() + start, text.data() + text.size());
            text.resize(start);
            continue;
        }
        if (n == 0)
            continue;
        Fit(text, start, QrzSchema::kColumns[k].width, IsAscii(text.data() + start, n));
        row.cells[k] = {quint32(start), qint32(text.size() - start)};
    }
    const CCell& call = row.cells[QrzSchema::kCallSignColumn];
    if (call.length <= 0) {
        text.resize(before);
        return Reject::NoCallSign;
    }
    // A call sign is plain letters, digits and signs: control characters or bytes beyond ASCII there
    // mean the line is no licensee's (a binary or foreign file read as CSV).
    for (qint32 i = 0; i < call.length; ++i) {
        const auto c = static_cast<unsigned char>(text[size_t(call.offset) + size_t(i)]);
        if (c < 0x20 || c > 0x7e) {
            text.resize(before);
            return Reject::NotACallSign;
        }
    }
    return Reject::None;
}

QString RejectText(Reject reject)
{
    switch (reject) {
    case Reject::NoCallSign:
        return QStringLiteral("CallSign is missing");
    case Reject::UnclosedQuote:
        return QStringLiteral("a quoted field is not closed");
    case Reject::NotACallSign:
        return QStringLiteral("CallSign holds control characters or bytes beyond ASCII");
    case Reject::None:
        break;
    }
    return {};
}

} // namespace QrzCsv
