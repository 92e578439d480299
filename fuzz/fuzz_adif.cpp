// Fuzzes the ADIF reader (ADI and ADX, told apart by the input's first bytes): no field may have an empty
// name or a value over the limit, and what an ADI file yields, written again as ADI by the program,
// must read back the same.
#include "core/adif/AdifReader.h"
#include "core/adif/AdifWriter.h"
#include "core/app/Version.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>

namespace {

QList<CAdifRecord> ReadAll(const QByteArray& bytes, CAdifReader::Format* format = nullptr)
{
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    CAdifReader reader(in);
    QList<CAdifRecord> records;
    CAdifRecord r;
    while (reader.Next(r)) {
        if (r.IsEmpty())
            std::abort();
        records << r;
    }
    if (format)
        *format = reader.GetFormat();
    if (reader.BytesRead() > bytes.size())
        std::abort();
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    CAdifReader::Format format;
    const QList<CAdifRecord> records = ReadAll(input, &format);
    for (const CAdifRecord& r : records)
        for (const CAdifField& f : r.Fields())
            if (f.name.isEmpty() || f.value.isEmpty() || f.value.size() > CAdifReader::kMaxFieldLength)
                std::abort();
    if (format != CAdifReader::Format::Adi)
        return 0;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    CAdifWriter writer(out, CAdifWriter::Format::Adi);
    CAdifRecord header;
    header.Add("PROGRAMID", QStringLiteral(LOGWARDEN_TITLE));
    header.Add("PROGRAMVERSION", QStringLiteral(LOGWARDEN_VERSION)); // lengths in bytes since 1.1
    writer.WriteHeader(QStringLiteral("again"), header);
    for (const CAdifRecord& r : records)
        writer.WriteRecord(r);
    writer.Finish();
    const QList<CAdifRecord> again = ReadAll(out.data());
    if (again.size() != records.size())
        std::abort();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QList<CAdifField>& a = records[i].Fields();
        const QList<CAdifField>& b = again[i].Fields();
        if (a.size() != b.size())
            std::abort();
        for (qsizetype k = 0; k < a.size(); ++k)
            if (a[k].name != b[k].name || a[k].value != b[k].value)
                std::abort();
    }
    return 0;
}
