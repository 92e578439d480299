#include "core/adif/AdifReader.h"

#include "core/app/Version.h"

#include <QIODevice>
#include <QVersionNumber>
#include <QXmlStreamReader>
#include <cctype>

namespace {

constexpr qsizetype kBlock = 1 << 16;
// How far past a value's end the next tag is looked for.
constexpr qsizetype kLookAhead = 256;
// The longest tag taken: "<" name ":" length ":" type ">".
constexpr qsizetype kMaxTag = 128;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Windows-1252 where it differs from Latin-1 (0x80 to 0x9F); 0 where it has no character (kept as Latin-1).
constexpr char16_t kWindows1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Text as UTF-8 when it is valid UTF-8, else as Windows-1252 (what Windows loggers write).
QString Decode(const char* data, qsizetype size)
{
    const QByteArrayView bytes(data, size);
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString text = QString::fromLatin1(bytes);
    for (QChar& c : text)
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F && kWindows1252[c.unicode() - 0x80] != 0)
            c = QChar(kWindows1252[c.unicode() - 0x80]);
    return text;
}

// The text of the element just opened, that of its children included, read token by token (no
// recursion, however deep the file nests). Raises an error on the reader beyond kMaxDepth levels.
constexpr int kMaxDepth = 64;
QString ElementText(QXmlStreamReader& x)
{
    QString text;
    for (int depth = 1; depth > 0 && !x.atEnd();) {
        switch (x.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxDepth) {
                x.raiseError(QStringLiteral("elements nested more than %1 deep").arg(kMaxDepth));
                return QString();
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += x.text();
            break;
        default:
            break;
        }
    }
    return text;
}

} // namespace

CAdifReader::CAdifReader(QIODevice& in) : m_in(in)
{
    // ADX is XML: it begins (after a byte-order mark and blanks) with "<?xml" or with its root element.
    const QByteArray head = m_in.peek(4096);
    qsizetype i = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < head.size() && IsSpace(head[i]))
        ++i;
    // Comments may come first.
    while (head.mid(i, 4) == "<!--") {
        const qsizetype close = head.indexOf("-->", i + 4);
        if (close < 0)
            break;
        i = close + 3;
        while (i < head.size() && IsSpace(head[i]))
            ++i;
    }
    const QByteArray start = head.mid(i, 5).toUpper();
    if (start.startsWith("<?XML") || start.startsWith("<ADX")) {
        m_format = Format::Adx;
        m_xml = std::make_unique<QXmlStreamReader>(&m_in);
    }
}

CAdifReader::~CAdifReader() = default;

qint64 CAdifReader::BytesRead() const
{
    if (m_format == Format::Adx)
        return m_xml->characterOffset() > 0 ? m_in.pos() : 0;
    return m_dropped + m_pos;
}

bool CAdifReader::Next(CAdifRecord& record)
{
    record.Clear();
    m_cut = false;
    return m_format == Format::Adx ? NextAdx(record) : NextAdi(record);
}

// --- ADI -------------------------------------------------------------------------------------------------

bool CAdifReader::Fill()
{
    if (m_eof)
        return false;
    // What was taken goes, so that the buffer stays a few blocks long.
    if (m_pos >= kBlock) {
        m_buf.remove(0, m_pos);
        m_dropped += m_pos;
        m_pos = 0;
    }
    const qsizetype had = m_buf.size();
    m_buf.resize(had + kBlock);
    const qint64 got = m_in.read(m_buf.data() + had, kBlock);
    m_buf.resize(had + std::max<qint64>(got, 0));
    if (got <= 0) {
        m_eof = true;
        if (got < 0)
            m_error = QStringLiteral("cannot read the file: %1").arg(m_in.errorString());
        return false;
    }
    if (m_dropped == 0 && had == 0 && m_buf.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
    return true;
}

void CAdifReader::Ensure(qsizetype bytes)
{
    while (m_buf.size() - m_pos < bytes && Fill()) {
    }
}

// Whether a value ending at `at` is followed by the next tag (blanks between), or by the end of the file.
bool CAdifReader::EndsField(qsizetype at) const
{
    const qsizetype stop = std::min(m_buf.size(), at + kLookAhead);
    for (qsizetype i = at; i < stop; ++i) {
        if (m_buf[i] == '<')
            return StartsTag(i);
        if (!IsSpace(m_buf[i]))
            return false;
    }
    return true;
}

// Whether a tag begins at `at` ("<" a name that does not begin with a digit, then ":" or ">"), as far as the
// bytes read tell: "<3" in a text is none.
bool CAdifReader::StartsTag(qsizetype at) const
{
    qsizetype i = at + 1;
    if (i < m_buf.size() && (!IsNameChar(m_buf[i]) || std::isdigit(static_cast<unsigned char>(m_buf[i]))))
        return false;
    while (i < m_buf.size() && IsNameChar(m_buf[i]))
        ++i;
    return i >= m_buf.size() || (i > at + 1 && (m_buf[i] == ':' || m_buf[i] == '>'));
}

// Where `chars` UTF-8 characters from `from` end, or -1 when the bytes there are not UTF-8.
qsizetype CAdifReader::CharEnd(qsizetype from, qsizetype chars) const
{
    const auto* p = reinterpret_cast<const unsigned char*>(m_buf.constData());
    qsizetype i = from;
    for (qsizetype n = 0; n < chars && i < m_buf.size(); ++n) {
        const unsigned char c = p[i];
        int length = 0;
        if (c < 0x80)
            length = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4;
        else
            return -1;
        if (i + length > m_buf.size())
            return -1;
        for (int k = 1; k < length; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return -1;
        i += length;
    }
    return i;
}

QByteArray CAdifReader::Name(const char* text, qsizetype size)
{
    // A file names the same few fields over and over: their upper-case names are made once and shared.
    for (const QByteArray& known : m_names)
        if (known.size() == size && qstrnicmp(known.constData(), text, size) == 0)
            return known;
    QByteArray name = QByteArray(text, size).toUpper();
    if (m_names.size() < 64)
        m_names.append(name);
    return name;
}

bool CAdifReader::NextAdi(CAdifRecord& record)
{
    for (;;) {
        const qsizetype lt = m_buf.indexOf('<', m_pos);
        if (lt < 0) {
            m_pos = m_buf.size();
            if (Fill())
                continue;
            // A last record that lost its <EOR> is still a record.
            return !record.IsEmpty();
        }
        m_pos = lt;
        Ensure(kMaxTag);
        const qsizetype end = std::min(m_buf.size(), m_pos + kMaxTag);
        qsizetype i = m_pos + 1;
        while (i < end && IsNameChar(m_buf[i]))
            ++i;
        const QByteArray name = Name(m_buf.constData() + m_pos + 1, i - m_pos - 1);
        if (name.isEmpty() || i >= end) {
            m_pos = lt + 1;
            continue;
        }
        if (m_buf[i] == '>') {
            m_pos = i + 1;
            m_recordLength = name == "EOR" || name == "EOH" ? 0 : m_recordLength;
            m_sawAdif = m_sawAdif || name == "EOR" || name == "EOH";
            if (name == "EOR") {
                if (!record.IsEmpty())
                    return true;
            } else if (name == "EOH") {
                // What came before was the header (also in a file that begins with a tag).
                m_header = record;
                record.Clear();
                // Our own files counted characters before 1.1, bytes since, as the other loggers do.
                if (m_counting == Counting::Unknown &&
                    m_header.Value("PROGRAMID")
                            .compare(QLatin1String(LOGWARDEN_TITLE), Qt::CaseInsensitive) == 0) {
                    m_counting = QVersionNumber::fromString(m_header.Value("PROGRAMVERSION").trimmed()) <
                                         QVersionNumber(1, 1)
                                     ? Counting::Characters
                                     : Counting::Bytes;
                    m_countingKnown = true;
                }
            }
            continue;
        }
        if (m_buf[i] != ':') {
            m_pos = lt + 1;
            continue;
        }
        // The length, then an optional type indicator.
        qsizetype j = i + 1;
        qint64 length = 0;
        while (j < end && m_buf[j] >= '0' && m_buf[j] <= '9' && length <= kMaxFieldLength)
            length = length * 10 + (m_buf[j++] - '0');
        if (j == i + 1 || j >= end || length > kMaxFieldLength) {
            m_pos = lt + 1;
            continue;
        }
        if (m_buf[j] == ':') {
            ++j;
            while (j < end && IsNameChar(m_buf[j]))
                ++j;
        }
        if (j >= end || m_buf[j] != '>') {
            m_pos = lt + 1;
            continue;
        }
        const qsizetype offset = j + 1 - m_pos;
        Ensure(offset + 4 * length + kLookAhead);
        const qsizetype start = m_pos + offset;
        const qsizetype byteEnd = std::min(m_buf.size(), start + qsizetype(length));
        m_sawAdif = true;
        // The file ends before the value does, whichever way it counts.
        if (m_eof && start + qsizetype(length) > m_buf.size()) {
            qsizetype chars = 0;
            for (qsizetype k = start; k < m_buf.size(); ++k)
                chars += (m_buf[k] & 0xC0) != 0x80;
            m_cut = m_cut || chars < length;
        }
        const qsizetype charEnd = CharEnd(start, length);
        qsizetype valueEnd = byteEnd;
        if (m_countingKnown) {
            // Our own file: its header says how it counts.
            if (m_counting == Counting::Characters && charEnd >= 0)
                valueEnd = charEnd;
        } else if (charEnd >= 0 && charEnd != byteEnd) {
            // Counted in bytes (older writers) or in characters (ADIF 3.1 with UTF-8): the count that ends
            // before the next tag is the one used. A byte count cutting a character in two never does.
            const bool byBytes =
                (byteEnd == m_buf.size() || (m_buf[byteEnd] & 0xC0) != 0x80) && EndsField(byteEnd);
            const bool byChars = EndsField(charEnd);
            if (byBytes != byChars) {
                // One count fits: the file's writer counts that way, which settles the fields where both do.
                m_counting = byChars ? Counting::Characters : Counting::Bytes;
                valueEnd = byChars ? charEnd : byteEnd;
            } else if (byBytes) {
                valueEnd = m_counting == Counting::Characters ? charEnd : byteEnd;
            } else {
                valueEnd = charEnd;
            }
        }
        m_recordLength += valueEnd - start;
        if (m_recordLength > kMaxRecordLength) {
            m_error = QStringLiteral("a record holds more than %1 MB (is its <EOR> missing?)")
                          .arg(kMaxRecordLength >> 20);
            record.Clear();
            return false;
        }
        record.Add(name, Decode(m_buf.constData() + start, valueEnd - start));
        m_pos = valueEnd;
    }
}

// --- ADX -------------------------------------------------------------------------------------------------

bool CAdifReader::NextAdx(CAdifRecord& record)
{
    QXmlStreamReader& x = *m_xml;
    // Attribute names in any case, as tag names.
    const auto attribute = [&x](const char* name) {
        for (const QXmlStreamAttribute& a : x.attributes())
            if (a.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return a.value().toString();
        return QString();
    };
    const auto fieldName = [&]() -> QByteArray {
        const QString element = x.name().toString().toUpper();
        if (element == QLatin1String("APP"))
            return (QStringLiteral("APP_") + attribute("PROGRAMID") + QLatin1Char('_') +
                    attribute("FIELDNAME"))
                .toUpper()
                .toUtf8();
        const QString userField = attribute("FIELDNAME");
        if (element == QLatin1String("USERDEF") && !userField.isEmpty())
            return userField.toUpper().toUtf8();
        return element.toUtf8();
    };
    // Reads the fields of the element just opened (HEADER or RECORD) into into.
    const auto readFields = [&](CAdifRecord& into) {
        while (x.readNextStartElement()) {
            const QByteArray name = fieldName();
            into.Add(name, ElementText(x));
        }
    };
    while (!x.atEnd()) {
        // Token by token: readNextStartElement() would read on past the end of the document.
        if (x.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString element = x.name().toString().toUpper();
        m_sawAdif = m_sawAdif || element == QLatin1String("ADX");
        if (element == QLatin1String("ADX") || element == QLatin1String("RECORDS"))
            continue; // their children are what counts
        if (element == QLatin1String("HEADER")) {
            readFields(m_header);
            continue;
        }
        if (element == QLatin1String("RECORD")) {
            readFields(record);
            if (x.hasError())
                break;
            // A record without a field is none, as in ADI.
            if (!record.IsEmpty())
                return true;
            continue;
        }
        x.skipCurrentElement();
    }
    if (x.hasError())
        m_error = QStringLiteral("the ADX file is not well-formed XML (line %1: %2)")
                      .arg(x.lineNumber())
                      .arg(x.errorString());
    record.Clear();
    return false;
}
