#pragma once

#include "core/qrz/QrzSchema.h"

#include <QString>
#include <QtGlobal>
#include <string>

// One line of QRZ's CSV file of licensees, as the QRZ database build reads it.
//
//   - Fields are separated by ",". A field that begins with a double quote is quoted (RFC 4180): it runs
//     to the closing quote, commas inside it are data and "" stands for one quote; anything between the
//     closing quote and the next "," is kept too. In a field that is not quoted, every double quote is
//     dropped. A line whose quote is not closed is rejected.
//   - A field is taken only when a "," follows it: the text after the last "," of a line is ignored (a
//     line of exactly fifteen fields without a trailing "," stores fourteen), and so are fields beyond
//     the fifteenth.
//   - Text fields are cut to their column's width in characters; Country is the number its leading
//     digits give (0 when there are none). An empty field is stored as null; a line without a call
//     sign, or whose call sign holds control characters or bytes beyond ASCII, is rejected.
//   - Text is UTF-8 when the field is valid UTF-8, otherwise Windows-1252; it is stored as UTF-8.
namespace QrzCsv {

enum class Reject : quint8
{
    None,
    NoCallSign,
    UnclosedQuote,
    NotACallSign, // control characters or bytes beyond ASCII in the call sign
};

struct CCell
{
    quint32 offset; // into the text buffer
    qint32 length;  // bytes; -1: null
};

struct CRow
{
    CCell cells[QrzSchema::kColumnCount];
    qint32 country;
};

// Parses a line without its line feed (a carriage return before it is part of the text after the last
// ",", which is ignored). The texts are appended to `text`; on a rejection `text` is as it was.
Reject ParseLine(const char* line, size_t length, std::string& text, CRow& row);
QString RejectText(Reject reject);

// Whether a line is a record and not the file's header, from where its line feed lies: the first line
// needs at least 155 characters before its line feed, a later one a line feed beyond offset 155 of the
// file (offsets count bytes from 0).
inline constexpr qint64 kHeaderLimit = 155;
inline bool IsRecordLine(qint64 lineIndex, qint64 lineFeedOffset)
{
    return lineIndex == 0 ? lineFeedOffset >= kHeaderLimit : lineFeedOffset > kHeaderLimit;
}

} // namespace QrzCsv
