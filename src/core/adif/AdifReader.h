#pragma once

#include "core/adif/AdifRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QIODevice;
class QXmlStreamReader;

// Reads ADIF records one at a time from a device, in ADI or ADX (told apart by the first bytes), holding
// no more than a few blocks of the file however long it is.
//
// ADI is read as the files that exist are written: tag names in any case, with or without a header, a
// byte-order mark, CR LF or LF, lengths counted in characters or in bytes (each field decided by which
// count ends where the next tag begins; where both do, by the way the file's other fields or its header
// tell), UTF-8 text with Latin-1 for a field that is not valid UTF-8.
// Text outside the tags is ignored, and so is a tag that does not parse. A last record without <EOR> is
// still a record.
class CAdifReader
{
public:
    enum class Format
    {
        Adi,
        Adx
    };

    // Reads from the device's current position; the device stays open and is the caller's.
    explicit CAdifReader(QIODevice& in);
    ~CAdifReader();
    CAdifReader(const CAdifReader&) = delete;
    CAdifReader& operator=(const CAdifReader&) = delete;

    Format GetFormat() const { return m_format; }
    // The next record into record; false at the end of the file (or at an error, see Error()).
    bool Next(CAdifRecord& record);
    // The header's fields, once the first record (or the end) has been reached.
    const CAdifRecord& Header() const { return m_header; }
    // How far into the file the reader has come, in bytes.
    qint64 BytesRead() const;
    // Why the reading stopped before the end of the file: an ADX file that is not well-formed XML
    // ("line 12: ..."). Empty when every record was read.
    const QString& Error() const { return m_error; }

    // Whether anything of ADIF (a field, <EOH>, <EOR>, an ADX root) has been met: a file without is none.
    bool SawAdif() const { return m_sawAdif; }
    // Whether the record Next() gave last ends before its fields do (a file cut inside a value): it is
    // not whole and is no check-in.
    bool RecordCut() const { return m_cut; }

    // The longest field value taken; a tag announcing more is not a field.
    static constexpr qsizetype kMaxFieldLength = 1 << 20;
    // The most a record may hold (a file without <EOR> would otherwise be held whole).
    static constexpr qsizetype kMaxRecordLength = 4 << 20;

private:
    bool NextAdi(CAdifRecord& record);
    bool NextAdx(CAdifRecord& record);
    bool Fill();
    void Ensure(qsizetype bytes);
    bool EndsField(qsizetype at) const;
    bool StartsTag(qsizetype at) const;
    qsizetype CharEnd(qsizetype from, qsizetype chars) const;
    QByteArray Name(const char* text, qsizetype size);

    QIODevice& m_in;
    Format m_format = Format::Adi;
    CAdifRecord m_header;
    QString m_error;
    // ADI: the bytes read and not yet taken, from m_pos on.
    QByteArray m_buf;
    qsizetype m_pos = 0;
    qint64 m_dropped = 0;         // bytes dropped from the front of m_buf
    qsizetype m_recordLength = 0; // the bytes of the values of the record being read
    bool m_sawAdif = false;
    bool m_cut = false;
    bool m_eof = false;
    // How the file's writer counts lengths, once a field has shown it; until then a field where both
    // counts fit is taken by bytes, as most writers count.
    enum class Counting
    {
        Unknown,
        Bytes,
        Characters
    };
    Counting m_counting = Counting::Unknown;
    bool m_countingKnown = false; // said by the header (our own files), not guessed
    QList<QByteArray> m_names;    // the field names met, in upper case
    // ADX.
    std::unique_ptr<QXmlStreamReader> m_xml;
    bool m_inRecords = false;
};
