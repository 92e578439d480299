#include "core/log/RtfReader.h"

#include "core/Exceptions.h"
#include "core/app/Windows1252.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cctype>

namespace {

QChar FromCp1252(unsigned char byte)
{
    return QChar(Windows1252::ToUnicode(byte));
}

// Destinations whose text is not part of the document.
const QSet<QByteArray>& SkippedDestinations()
{
    static const QSet<QByteArray> names = {"fonttbl",
                                           "stylesheet",
                                           "info",
                                           "pict",
                                           "object",
                                           "objdata",
                                           "header",
                                           "headerl",
                                           "headerr",
                                           "headerf",
                                           "footer",
                                           "footerl",
                                           "footerr",
                                           "footerf",
                                           "listtable",
                                           "listoverridetable",
                                           "rsidtbl",
                                           "generator",
                                           "xmlnsttbl",
                                           "themedata",
                                           "colorschememapping",
                                           "latentstyles",
                                           "datastore",
                                           "fldinst",
                                           "nonshppict",
                                           "filetbl",
                                           "revtbl",
                                           "pgdsctbl",
                                           "author",
                                           "operator",
                                           "title",
                                           "subject",
                                           "keywords",
                                           "comment",
                                           "doccomm",
                                           "company",
                                           "creatim",
                                           "revtim",
                                           "printim",
                                           "buptim",
                                           "footnote",
                                           "annotation",
                                           "atnid",
                                           "atnauthor",
                                           "template",
                                           "userprops",
                                           "docvar",
                                           "listpicture",
                                           "shpinst",
                                           "sp",
                                           "sn",
                                           "sv",
                                           "mmathPr",
                                           "wgrffmtfilter",
                                           "background",
                                           "passwordhash"};
    return names;
}

// Control words that stand for one character.
const QHash<QByteArray, char16_t>& CharacterWords()
{
    static const QHash<QByteArray, char16_t> words = {
        {"emdash", 0x2014}, {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
        {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"tab", u'\t'},
        {"line", 0x2028},   {"emspace", 0x2003},   {"enspace", 0x2002},   {"qmspace", 0x2005},
        {"zwj", 0x200D},    {"zwnj", 0x200C},      {"ltrmark", 0x200E},   {"rtlmark", 0x200F}};
    return words;
}

class CParser
{
public:
    explicit CParser(const QByteArray& data) : m_data(data) {}

    CRtfDocument Run()
    {
        qsizetype start = 0;
        if (m_data.startsWith("\xEF\xBB\xBF"))
            start = 3;
        while (start < m_data.size() && std::isspace(static_cast<unsigned char>(m_data[start])))
            ++start;
        if (m_data.mid(start, 5) != "{\\rtf")
            throw CLogwardenException(QStringLiteral("the file is not in Rich Text Format"));
        m_pos = start;
        while (m_pos < m_data.size() && !m_done) {
            const char c = m_data[m_pos];
            if (c == '{') {
                ++m_pos;
                OpenGroup();
            } else if (c == '}') {
                ++m_pos;
                CloseGroup();
            } else if (c == '\\') {
                ++m_pos;
                ControlSequence();
            } else if (c == '\r' || c == '\n') {
                ++m_pos; // line ends in the file carry no meaning
            } else {
                ++m_pos;
                if (c == '\t')
                    Character(QChar(u'\t'), true);
                else if (static_cast<unsigned char>(c) >= 0x20)
                    Character(FromCp1252(static_cast<unsigned char>(c)), true);
            }
        }
        EndParagraph(false);
        return std::move(m_doc);
    }

private:
    enum class Destination
    {
        Text,
        ColourTable,
        Skip
    };
    struct State
    {
        Destination destination = Destination::Text;
        bool bold = false;
        bool italic = false;
        bool underline = false;
        int halfPoints = 24;
        int colourIndex = 0;
        int unicodeSkip = 1;
        CRtfParagraph::Alignment alignment = CRtfParagraph::Left;
        bool groupStart = true; // no control word or text seen yet in this group
    };

    State& Top() { return m_stack.back(); }

    void OpenGroup()
    {
        m_pendingSkip = 0;
        if (static_cast<int>(m_stack.size()) >= RtfReader::kMaxDepth)
            throw CLogwardenException(QStringLiteral("the text nests groups too deeply"));
        State s = m_stack.empty() ? State{} : Top();
        s.groupStart = true;
        m_stack.push_back(s);
    }

    void CloseGroup()
    {
        m_pendingSkip = 0;
        if (m_stack.empty())
            return;
        if (Top().destination == Destination::ColourTable && m_colourPending)
            FinishColour();
        m_stack.pop_back();
        if (m_stack.empty())
            m_done = true; // the end of the document's group
    }

    bool InText() const { return !m_stack.empty() && m_stack.back().destination == Destination::Text; }

    // A character of the text (or one skipped after \uN).
    void Character(QChar ch, bool countsForSkip)
    {
        if (m_stack.empty())
            return;
        Top().groupStart = false;
        if (countsForSkip && m_pendingSkip > 0) {
            --m_pendingSkip;
            return;
        }
        if (Top().destination == Destination::ColourTable) {
            if (ch == QLatin1Char(';'))
                FinishColour();
            return;
        }
        if (!InText())
            return;
        const State& s = Top();
        CRtfRun* run = m_paragraph.runs.empty() ? nullptr : &m_paragraph.runs.back();
        const std::optional<CRtfColour> colour = ColourOf(s.colourIndex);
        if (!run || run->bold != s.bold || run->italic != s.italic || run->underline != s.underline ||
            run->halfPoints != s.halfPoints || run->colour != colour) {
            m_paragraph.runs.push_back({QString(), s.bold, s.italic, s.underline, s.halfPoints, colour});
            run = &m_paragraph.runs.back();
        }
        run->text += ch;
        m_paragraph.alignment = s.alignment;
    }

    void EndParagraph(bool always)
    {
        if (!always && m_paragraph.runs.empty())
            return;
        if (m_paragraph.runs.empty() && !m_stack.empty())
            m_paragraph.alignment = Top().alignment;
        m_doc.paragraphs.push_back(std::move(m_paragraph));
        m_paragraph = {};
    }

    std::optional<CRtfColour> ColourOf(int index) const
    {
        if (index <= 0 || index >= static_cast<int>(m_colours.size()))
            return std::nullopt; // \cf0 and unknown entries: the default colour
        return m_colours[static_cast<size_t>(index)];
    }

    void FinishColour()
    {
        m_colours.push_back(m_colourPending ? std::optional<CRtfColour>(m_colour) : std::nullopt);
        m_colour = {};
        m_colourPending = false;
    }

    void ControlSequence()
    {
        if (m_pos >= m_data.size())
            return;
        const char c = m_data[m_pos];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++m_pos;
            ControlSymbol(c);
            return;
        }
        const qsizetype wordStart = m_pos;
        while (m_pos < m_data.size() && std::isalpha(static_cast<unsigned char>(m_data[m_pos])) &&
               m_pos - wordStart < 32)
            ++m_pos;
        const QByteArray word = m_data.mid(wordStart, m_pos - wordStart);
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (m_pos < m_data.size() && m_data[m_pos] == '-' && m_pos + 1 < m_data.size() &&
            std::isdigit(static_cast<unsigned char>(m_data[m_pos + 1]))) {
            negative = true;
            ++m_pos;
        }
        const qsizetype digitsStart = m_pos;
        while (m_pos < m_data.size() && std::isdigit(static_cast<unsigned char>(m_data[m_pos]))) {
            if (m_pos - digitsStart < 10)
                param = param * 10 + (m_data[m_pos] - '0');
            ++m_pos;
        }
        hasParam = m_pos > digitsStart;
        if (negative)
            param = -param;
        param = std::clamp<long long>(param, -2147483647LL, 2147483647LL);
        if (m_pos < m_data.size() && m_data[m_pos] == ' ')
            ++m_pos; // the delimiting blank belongs to the word
        ControlWord(word, hasParam, static_cast<int>(param));
    }

    void ControlSymbol(char c)
    {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            Character(QLatin1Char(c), true);
            return;
        case '~':
            Character(QChar(0x00A0), true);
            return;
        case '_':
            Character(QChar(0x2011), true);
            return;
        case '\'': {
            const QByteArray hex = m_data.mid(m_pos, 2);
            const bool ok = hex.size() == 2 && std::isxdigit(static_cast<unsigned char>(hex[0])) &&
                            std::isxdigit(static_cast<unsigned char>(hex[1]));
            if (ok) {
                const int byte = hex.toInt(nullptr, 16);
                m_pos += 2;
                Character(FromCp1252(static_cast<unsigned char>(byte)), true);
            }
            return;
        }
        case '*':
            if (!m_stack.empty())
                Top().destination = Destination::Skip; // no \* destination carries text we show
            return;
        case '\r':
        case '\n':
            ControlWord("par", false, 0);
            return;
        default:
            // \- (optional hyphen), \| and \: (formula and index marks) show nothing, but count as one
            // character after \uN.
            if (m_pendingSkip > 0)
                --m_pendingSkip;
            return;
        }
    }

    void ControlWord(const QByteArray& word, bool hasParam, int param)
    {
        if (m_stack.empty())
            return;
        State& s = Top();
        const bool groupStart = s.groupStart;
        s.groupStart = false;

        if (word == "bin") {
            // Binary data follows: skip it, whatever it holds.
            m_pos = std::min<qsizetype>(m_data.size(), m_pos + std::max(0, param));
            return;
        }
        if (m_pendingSkip > 0) {
            --m_pendingSkip; // a control word stands for one character of the fallback text
            return;
        }
        if (s.destination == Destination::Skip)
            return;
        if (SkippedDestinations().contains(word)) {
            s.destination = Destination::Skip;
            return;
        }
        if (word == "colortbl" && groupStart) {
            s.destination = Destination::ColourTable;
            m_colours.clear();
            return;
        }
        if (s.destination == Destination::ColourTable) {
            if (word == "red")
                m_colour.red = std::clamp(param, 0, 255);
            else if (word == "green")
                m_colour.green = std::clamp(param, 0, 255);
            else if (word == "blue")
                m_colour.blue = std::clamp(param, 0, 255);
            else
                return;
            m_colourPending = true;
            return;
        }
        const bool on = !hasParam || param != 0;
        if (word == "par" || word == "page" || word == "sect") {
            EndParagraph(true);
        } else if (word == "pard") {
            s.alignment = CRtfParagraph::Left;
        } else if (word == "plain") {
            s.bold = s.italic = s.underline = false;
            s.halfPoints = 24;
            s.colourIndex = 0;
        } else if (word == "b") {
            s.bold = on;
        } else if (word == "i") {
            s.italic = on;
        } else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw" || word == "uldash" ||
                   word == "ulth" || word == "ulwave") {
            s.underline = on;
        } else if (word == "ulnone") {
            s.underline = false;
        } else if (word == "fs") {
            if (hasParam && param > 0)
                s.halfPoints = std::min(param, 3276);
        } else if (word == "cf") {
            s.colourIndex = hasParam ? param : 0;
        } else if (word == "ql") {
            s.alignment = CRtfParagraph::Left;
        } else if (word == "qc") {
            s.alignment = CRtfParagraph::Centre;
        } else if (word == "qr") {
            s.alignment = CRtfParagraph::Right;
        } else if (word == "qj") {
            s.alignment = CRtfParagraph::Justify;
        } else if (word == "uc") {
            s.unicodeSkip = std::clamp(param, 0, 16);
        } else if (word == "u") {
            const int unit = param < 0 ? param + 65536 : param;
            if (unit >= 0 && unit <= 0xFFFF)
                Character(QChar(static_cast<char16_t>(unit)), false);
            m_pendingSkip = s.unicodeSkip;
        } else if (const auto it = CharacterWords().constFind(word); it != CharacterWords().constEnd()) {
            Character(QChar(*it), false);
        }
    }

    const QByteArray& m_data;
    qsizetype m_pos = 0;
    bool m_done = false;
    std::vector<State> m_stack;
    int m_pendingSkip = 0;
    std::vector<std::optional<CRtfColour>> m_colours;
    CRtfColour m_colour;
    bool m_colourPending = false;
    CRtfParagraph m_paragraph;
    CRtfDocument m_doc;
};

} // namespace

QString CRtfParagraph::PlainText() const
{
    QString text;
    for (const CRtfRun& r : runs)
        text += r.text;
    text.replace(QChar(0x2028), QLatin1Char('\n'));
    return text;
}

QString CRtfDocument::PlainText() const
{
    QStringList lines;
    for (const CRtfParagraph& p : paragraphs)
        lines << p.PlainText();
    return lines.join(QLatin1Char('\n'));
}

namespace RtfReader {

CRtfDocument Parse(const QByteArray& rtf)
{
    return CParser(rtf).Run();
}

CRtfDocument ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        throw CFileException(QStringLiteral("\"%1\" does not exist").arg(path), path);
    if (!file.open(QIODevice::ReadOnly))
        throw CFileException(QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString()), path);
    if (file.size() > kMaxFileSize)
        throw CFileException(QStringLiteral("\"%1\" is larger than %2 MB").arg(path).arg(kMaxFileSize >> 20),
                             path);
    const QByteArray data = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw CFileException(QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString()), path);
    return Parse(data);
}

} // namespace RtfReader
