#pragma once

#include "core/adif/AdifRecord.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Writes ADIF strictly, in ADI or ADX, through a buffer of its own: a header, then any number of records.
//
// ADI: the header begins with a line of text (never "<"); each field is "<NAME:length>value", its length
// counted in characters of the UTF-8 text; a record ends with "<EOR>" and a line feed.
// ADX: well-formed XML in UTF-8; text that XML cannot carry (control characters) is left out, a carriage
// return is written as a reference so that line ends survive; NAME, ADDRESS, QTH and COMMENT are written
// as their _INTL fields when they hold more than ASCII; application fields ("APP_LOGWARDEN_ACK") as APP
// elements.
class CAdifWriter
{
public:
    enum class Format
    {
        Adi,
        Adx
    };

    CAdifWriter(QIODevice& out, Format format);

    // title: the text of the ADI header's first line.
    void WriteHeader(const QString& title, const CAdifRecord& fields);
    void WriteRecord(const CAdifRecord& record);
    // A record field by field, for writers that have the text as UTF-8 already (an empty value is left
    // out); the same bytes as WriteRecord() of the same fields.
    void BeginRecord();
    void FieldUtf8(const QByteArray& name, QByteArrayView utf8);
    void Field(const QByteArray& name, const QString& value);
    void EndRecord();
    // Ends the file (ADX's closing elements) and writes what is buffered.
    void Finish();

    // "<CALL:5>W4ABC": one ADI field.
    static void AppendAdiField(QByteArray& out, const QByteArray& name, const QString& value);
    // Text with &, <, >, " escaped, carriage returns as references, characters XML cannot hold left out.
    static void AppendXmlText(QByteArray& out, const QString& text);

private:
    void AppendAdxField(const CAdifField& field);
    void FlushIfFull();
    void Flush();

    QIODevice& m_out;
    Format m_format;
    QByteArray m_buf;
    bool m_inRecords = false;
};
