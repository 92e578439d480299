#include "core/adif/AdifWriter.h"

#include "core/Exceptions.h"

#include <QIODevice>
#include <cstring>

namespace {

constexpr qsizetype kFlushAt = 1 << 16;

bool IsAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The fields that have an _INTL twin for text beyond ASCII.
bool HasIntlTwin(const QByteArray& name)
{
    return name == "NAME" || name == "ADDRESS" || name == "QTH" || name == "COMMENT";
}

} // namespace

CAdifWriter::CAdifWriter(QIODevice& out, Format format) : m_out(out), m_format(format)
{
    m_buf.reserve(kFlushAt + 4096);
}

void CAdifWriter::AppendAdiField(QByteArray& out, const QByteArray& name, const QString& value)
{
    out += '<';
    out += name;
    out += ':';
    // The length in bytes of UTF-8 (see FieldUtf8).
    const QByteArray utf8 = value.toUtf8();
    out += QByteArray::number(utf8.size());
    out += '>';
    out += utf8;
}

void CAdifWriter::AppendXmlText(QByteArray& out, const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        switch (u) {
        case u'&':
            escaped += QLatin1String("&amp;");
            continue;
        case u'<':
            escaped += QLatin1String("&lt;");
            continue;
        case u'>':
            escaped += QLatin1String("&gt;");
            continue;
        case u'"':
            escaped += QLatin1String("&quot;");
            continue;
        case u'\r':
            escaped += QLatin1String("&#xD;");
            continue;
        default:
            break;
        }
        // XML 1.0 holds tab, line feed, and from U+0020 on, surrogates only in pairs, never U+FFFE/FFFF.
        if (u < 0x20 && u != u'\t' && u != u'\n')
            continue;
        if (u == 0xFFFE || u == 0xFFFF)
            continue;
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                escaped += c;
                escaped += text[++i];
            }
            continue;
        }
        if (c.isLowSurrogate())
            continue;
        escaped += c;
    }
    out += escaped.toUtf8();
}

void CAdifWriter::WriteHeader(const QString& title, const CAdifRecord& fields)
{
    if (m_format == Format::Adi) {
        // The header's text must not begin with "<", or readers would take it for a record.
        QString line = title.trimmed();
        line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (line.isEmpty() || line.startsWith(QLatin1Char('<')))
            line.prepend(QLatin1String("ADIF export "));
        m_buf += line.toUtf8();
        m_buf += '\n';
        for (const CAdifField& f : fields.Fields()) {
            AppendAdiField(m_buf, f.name, f.value);
            m_buf += '\n';
        }
        m_buf += "<EOH>\n\n";
    } else {
        m_buf += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ADX>\n  <HEADER>\n";
        for (const CAdifField& f : fields.Fields()) {
            m_buf += "    ";
            AppendAdxField(f);
        }
        m_buf += "  </HEADER>\n  <RECORDS>\n";
        m_inRecords = true;
    }
    FlushIfFull();
}

void CAdifWriter::AppendAdxField(const CAdifField& f)
{
    if (f.name.startsWith("APP_")) {
        // APP_<program>_<field>: the program's id has no underscore of its own.
        const qsizetype split = f.name.indexOf('_', 4);
        if (split > 4) {
            m_buf += "<APP PROGRAMID=\"";
            AppendXmlText(m_buf, QString::fromLatin1(f.name.mid(4, split - 4)));
            m_buf += "\" FIELDNAME=\"";
            AppendXmlText(m_buf, QString::fromLatin1(f.name.mid(split + 1)));
            m_buf += "\" TYPE=\"S\">";
            AppendXmlText(m_buf, f.value);
            m_buf += "</APP>\n";
            return;
        }
    }
    QByteArray name = f.name;
    if (HasIntlTwin(name) && !IsAscii(f.value)) {
        // The plain field too, in ASCII (the accents taken off), for readers that know no _INTL field.
        QString plain;
        for (const QChar c : f.value.normalized(QString::NormalizationForm_KD))
            if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
                plain += c;
        if (!plain.trimmed().isEmpty())
            AppendAdxField({name, plain.simplified()});
        name += "_INTL";
    }
    m_buf += '<';
    m_buf += name;
    m_buf += '>';
    AppendXmlText(m_buf, f.value);
    m_buf += "</";
    m_buf += name;
    m_buf += ">\n";
}

void CAdifWriter::WriteRecord(const CAdifRecord& record)
{
    BeginRecord();
    for (const CAdifField& f : record.Fields())
        Field(f.name, f.value);
    EndRecord();
}

void CAdifWriter::BeginRecord()
{
    if (m_format == Format::Adx)
        m_buf += "    <RECORD>\n";
}

void CAdifWriter::EndRecord()
{
    m_buf += m_format == Format::Adi ? "<EOR>\n" : "    </RECORD>\n";
    FlushIfFull();
}

void CAdifWriter::Field(const QByteArray& name, const QString& value)
{
    if (value.isEmpty())
        return;
    if (m_format == Format::Adi) {
        AppendAdiField(m_buf, name, value);
        m_buf += ' ';
    } else {
        m_buf += "      ";
        AppendAdxField({name, value});
    }
}

void CAdifWriter::FieldUtf8(const QByteArray& name, QByteArrayView utf8)
{
    if (utf8.isEmpty())
        return;
    // ADX (escapes, _INTL twins, APP elements) and text that is not valid UTF-8 go the text's way.
    if (m_format == Format::Adx) {
        Field(name, QString::fromUtf8(utf8));
        return;
    }
    if (!utf8.isValidUtf8()) {
        Field(name, QString::fromUtf8(utf8));
        return;
    }
    // The length in bytes of UTF-8, as LoTW, WSJT-X and the other loggers read it. Written in place, as
    // this runs for every field of every check-in.
    char digits[24];
    int count = 0;
    for (qsizetype n = utf8.size(); count == 0 || n > 0; n /= 10)
        digits[count++] = char('0' + n % 10);
    const qsizetype at = m_buf.size();
    m_buf.resize(at + name.size() + count + utf8.size() + 4);
    char* p = m_buf.data() + at;
    *p++ = '<';
    std::memcpy(p, name.constData(), size_t(name.size()));
    p += name.size();
    *p++ = ':';
    while (count > 0)
        *p++ = digits[--count];
    *p++ = '>';
    std::memcpy(p, utf8.data(), size_t(utf8.size()));
    p += utf8.size();
    *p = ' ';
}

void CAdifWriter::Finish()
{
    if (m_format == Format::Adx) {
        if (!m_inRecords)
            WriteHeader(QString(), CAdifRecord());
        m_buf += "  </RECORDS>\n</ADX>\n";
    }
    Flush();
}

void CAdifWriter::FlushIfFull()
{
    if (m_buf.size() >= kFlushAt)
        Flush();
}

void CAdifWriter::Flush()
{
    if (m_buf.isEmpty())
        return;
    if (m_out.write(m_buf) != m_buf.size())
        throw CFileException(QStringLiteral("Cannot write the ADIF file: %1").arg(m_out.errorString()),
                             QString());
    m_buf.resize(0); // the block stays for the next
}
