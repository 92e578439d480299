#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// A small reader of Rich Text Format, enough for texts written in a word processor and read aloud on the
// air (the net preamble): paragraphs with their alignment, bold, italic, underline, font sizes and colours,
// line breaks and tabs, characters given as \'hh (Windows-1252) and \uN. Font tables, style sheets,
// pictures, document information and other destinations are skipped; other control words are ignored.

struct CRtfColour
{
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const CRtfColour&) const = default;
};

struct CRtfRun
{
    QString text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;              // font size in half points, as \fs gives it (24 = 12 pt)
    std::optional<CRtfColour> colour; // none: the default text colour
};

struct CRtfParagraph
{
    enum Alignment
    {
        Left,
        Centre,
        Right,
        Justify
    };
    Alignment alignment = Left;
    std::vector<CRtfRun> runs;
    QString PlainText() const;
};

struct CRtfDocument
{
    std::vector<CRtfParagraph> paragraphs;
    // The paragraphs' text joined by line feeds; line breaks inside a paragraph are line feeds too.
    QString PlainText() const;
};

namespace RtfReader {

inline constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
inline constexpr int kMaxDepth = 1000;

// Raises CLogwardenException when the data is not RTF ("{\rtf" at the start) or nests groups deeper
// than kMaxDepth. Anything else is read as well as it can be: unknown words are ignored and a missing
// closing brace ends the text.
CRtfDocument Parse(const QByteArray& rtf);
// Raises CFileException for a file that is missing, unreadable or larger than kMaxFileSize, and
// CLogwardenException as Parse does.
CRtfDocument ReadFile(const QString& path);

} // namespace RtfReader
