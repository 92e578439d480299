#include "core/fcc/UlsLoader.h"

#include "core/app/Windows1252.h"
#include "core/db/SqliteBulkLoader.h"
#include "core/db/SqliteError.h"
#include "core/fcc/FccSchema.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using FccSchema::ColumnType;
using FccSchema::CTable;

enum class Reject : quint8
{
    None,
    TooShort,
    Missing,
    TooLong,
    NotANumber,
    NotADate,
    LineTooLong,
};

enum class Kind : quint8
{
    Null,
    Raw,
    Converted,
    Integer,
    Real
};

// One value of a row, ready to bind.
struct Cell
{
    union {
        const char* text; // Raw: into the batch's block
        size_t offset;    // Converted: into the batch's converted text
        qint64 integer;
        double real;
    };
    quint32 length;
    Kind kind;
};

struct Row
{
    qint64 line;
    quint32 firstCell; // the row's cells, one per column, unless rejected
    qint16 column;     // the column a rejection is about
    quint8 percent;
    Reject reject;
};

// The rows of one block of lines, ready to bind.
class CUlsRecords final : public CBulkRecords
{
public:
    CUlsRecords(const CTable& table, qint64 fileSize) : m_table(table), m_fileSize(fileSize) {}

    std::string converted; // the texts that were not ASCII (now UTF-8) and the dates
    std::vector<Cell> cells;
    std::vector<Row> rows;

    void Clear() override
    {
        converted.clear();
        cells.clear();
        rows.clear();
    }

    void Add(const CBulkLine& line) override;

private:
    quint8 Percent(qint64 offset) const
    {
        const qint64 p = offset * 100 / (m_fileSize + 1);
        return static_cast<quint8>(p < 0 ? 0 : (p > 100 ? 100 : p));
    }
    void AddRejected(qint64 line, quint8 percent, Reject reject, qint16 column = -1)
    {
        rows.push_back({line, static_cast<quint32>(cells.size()), column, percent, reject});
    }
    Reject Convert(const FccSchema::CColumn& column, const char* p, const char* e, Cell& cell);

    const CTable& m_table;
    const qint64 m_fileSize;
};

void AppendUtf8FromLatin1(std::string& out, const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned c = static_cast<unsigned char>(p[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        c = Windows1252::ToUnicode(static_cast<unsigned char>(c));
        if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

// Blanks around a number are allowed, as the old engine allowed them.
bool Trim(const char*& p, const char*& e)
{
    while (p < e && (*p == ' ' || *p == '\t'))
        ++p;
    while (e > p && (e[-1] == ' ' || e[-1] == '\t'))
        --e;
    return p < e;
}

bool ParseLong(const char* p, const char* e, qint64& out)
{
    if (!Trim(p, e))
        return false;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        if (++p == e)
            return false;
    }
    qint64 value = 0;
    for (; p < e; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
        if (value > 2147483648LL)
            return false;
    }
    value = negative ? -value : value;
    if (value > 2147483647LL)
        return false;
    out = value;
    return true;
}

bool ParseSingle(const char* p, const char* e, double& out)
{
    if (!Trim(p, e))
        return false;
    if (*p == '+' && e - p > 1 && p[1] != '-')
        ++p;
    double value = 0;
    const auto [end, ec] = std::from_chars(p, e, value, std::chars_format::general);
    if (ec != std::errc() || end != e || !std::isfinite(value) || std::fabs(value) > FLT_MAX)
        return false;
    out = static_cast<float>(value);
    return true;
}

bool ReadNumber(const char*& p, const char* e, int minDigits, int maxDigits, int& out)
{
    int n = 0;
    out = 0;
    while (p < e && n < maxDigits && *p >= '0' && *p <= '9') {
        out = out * 10 + (*p++ - '0');
        ++n;
    }
    return n >= minDigits;
}

// "MM/DD/YYYY" as the FCC writes dates (one-digit month and day allowed), or "YYYY-MM-DD"; stored as
// "YYYY-MM-DD 00:00:00", the program's date-time form.
bool ParseDate(const char* p, const char* e, char out[20])
{
    if (!Trim(p, e))
        return false;
    int year = 0, month = 0, day = 0;
    const char* q = p;
    if (ReadNumber(q, e, 4, 4, year) && q < e && *q == '-') {
        ++q;
        if (!ReadNumber(q, e, 1, 2, month) || q == e || *q++ != '-' || !ReadNumber(q, e, 1, 2, day) || q != e)
            return false;
    } else {
        q = p;
        if (!ReadNumber(q, e, 1, 2, month) || q == e || *q++ != '/' || !ReadNumber(q, e, 1, 2, day) ||
            q == e || *q++ != '/' || !ReadNumber(q, e, 4, 4, year) || q != e)
            return false;
    }
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return false;
    if (year > 9999)
        return false;
    const auto digits = [](char* at, int value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            at[i] = static_cast<char>('0' + value % 10);
    };
    std::memcpy(out, "0000-00-00 00:00:00", 20);
    digits(out, year, 4);
    digits(out + 5, month, 2);
    digits(out + 8, day, 2);
    return true;
}

QString RejectText(const CTable& table, const Row& row)
{
    const QString column = row.column >= 0 ? QLatin1String(table.columns[row.column].name) : QString();
    switch (row.reject) {
    case Reject::TooShort:
        return QStringLiteral("shorter than %1 characters").arg(table.columnCount + 1);
    case Reject::Missing:
        return QStringLiteral("%1 is missing").arg(column);
    case Reject::TooLong:
        return QStringLiteral("%1 is longer than %2 characters")
            .arg(column)
            .arg(table.columns[row.column].width);
    case Reject::NotANumber:
        return QStringLiteral("%1 is not a number").arg(column);
    case Reject::NotADate:
        return QStringLiteral("%1 is not a date").arg(column);
    case Reject::LineTooLong:
        return QStringLiteral("longer than %1 bytes").arg(CSqliteBulkLoader::kMaxLine);
    case Reject::None:
        break;
    }
    return {};
}

void CUlsRecords::Add(const CBulkLine& line)
{
    const quint8 percent = Percent(line.offset);
    if (line.end == CBulkLine::End::TooLong) {
        AddRejected(line.number, percent, Reject::LineTooLong);
        return;
    }
    const int columns = m_table.columnCount;
    if (line.length <= static_cast<size_t>(columns)) {
        AddRejected(line.number, percent, Reject::TooShort);
        return;
    }
    const size_t first = cells.size();
    cells.resize(first + static_cast<size_t>(columns));
    Cell* row = &cells[first];
    CFieldSplitter fields(line.text, line.length, '|');
    const char* p = nullptr;
    const char* e = nullptr;
    int k = 0;
    Reject reject = Reject::None;
    for (; k < columns && fields.Next(p, e); ++k) {
        reject = Convert(m_table.columns[k], p, e, row[k]);
        if (reject != Reject::None)
            break;
    }
    if (reject == Reject::None) {
        for (int i = k; i < columns; ++i)
            row[i].kind = Kind::Null;
        if (row[m_table.requiredColumn].kind == Kind::Null) {
            reject = Reject::Missing;
            k = m_table.requiredColumn;
        }
    }
    if (reject != Reject::None) {
        cells.resize(first);
        AddRejected(line.number, percent, reject, static_cast<qint16>(k));
        return;
    }
    rows.push_back({line.number, static_cast<quint32>(first), -1, percent, Reject::None});
}

Reject CUlsRecords::Convert(const FccSchema::CColumn& column, const char* p, const char* e, Cell& cell)
{
    const size_t n = static_cast<size_t>(e - p);
    if (n == 0) {
        cell.kind = Kind::Null;
        return Reject::None;
    }
    switch (column.type) {
    case ColumnType::Text: {
        // One byte is one character in Latin-1.
        if (n > static_cast<size_t>(column.width))
            return Reject::TooLong;
        bool ascii = true;
        for (size_t i = 0; i < n; ++i)
            ascii &= static_cast<unsigned char>(p[i]) < 0x80;
        if (ascii) {
            cell.kind = Kind::Raw;
            cell.text = p;
            cell.length = static_cast<quint32>(n);
        } else {
            cell.kind = Kind::Converted;
            cell.offset = converted.size();
            AppendUtf8FromLatin1(converted, p, n);
            cell.length = static_cast<quint32>(converted.size() - cell.offset);
        }
        return Reject::None;
    }
    case ColumnType::Long:
        cell.kind = Kind::Integer;
        return ParseLong(p, e, cell.integer) ? Reject::None : Reject::NotANumber;
    case ColumnType::Single:
        cell.kind = Kind::Real;
        return ParseSingle(p, e, cell.real) ? Reject::None : Reject::NotANumber;
    case ColumnType::Date: {
        char text[20];
        if (!ParseDate(p, e, text))
            return Reject::NotADate;
        cell.kind = Kind::Converted;
        cell.offset = converted.size();
        converted.append(text, 19);
        cell.length = 19;
        return Reject::None;
    }
    }
    return Reject::None;
}

} // namespace

CUlsStageStats LoadUlsFile(sqlite3* db, const CTable& table, const QString& filePath,
                           const CUlsLoadHooks& hooks, const CUlsLoadTarget& target)
{
    CUlsStageStats stats;
    CSqliteBulkLoader loader(filePath);
    loader.SetDatabase(db, {}, QStringLiteral(" (table %1)").arg(QLatin1String(table.name)));
    const int columns = table.columnCount;
    loader.Begin(target.table.isEmpty() ? QString::fromLatin1(table.name) : target.table, columns);

    int lastPercent = -1;
    const auto write = [&](CBulkRecords& records) {
        const auto& b = static_cast<const CUlsRecords&>(records);
        const char* const converted = b.converted.data();
        for (const Row& row : b.rows) {
            if (row.percent != lastPercent) {
                lastPercent = row.percent;
                if (hooks.progress)
                    hooks.progress(row.percent);
            }
            if (row.reject != Reject::None) {
                ++stats.skipped;
                if (hooks.skipped)
                    hooks.skipped(row.line, RejectText(table, row));
                continue;
            }
            const Cell* cell = &b.cells[row.firstCell];
            for (int i = 0; i < columns; ++i, ++cell) {
                switch (cell->kind) {
                case Kind::Null:
                    loader.BindNull(i);
                    break;
                case Kind::Raw:
                    loader.BindText(i, cell->text, static_cast<int>(cell->length));
                    break;
                case Kind::Converted:
                    loader.BindText(i, converted + cell->offset, static_cast<int>(cell->length));
                    break;
                case Kind::Integer:
                    loader.BindInt(i, cell->integer);
                    break;
                case Kind::Real:
                    loader.BindDouble(i, cell->real);
                    break;
                }
            }
            if (loader.Insert()) {
                ++stats.loaded;
            } else {
                // The first row of an identifier stays; the parser has already checked the rest.
                ++stats.skipped;
                if (hooks.skipped) {
                    hooks.skipped(row.line, table.uniqueIdentifier
                                                ? QStringLiteral("UniqueSystemIdentifier is already loaded")
                                                : SqliteErrorText(db));
                }
            }
        }
    };
    const qint64 fileSize = loader.FileSize();
    if (!loader.Load([&] { return std::make_unique<CUlsRecords>(table, fileSize); }, write, hooks.cancel)) {
        stats.cancelled = true;
        return stats;
    }
    stats.sawLineFeed = loader.SawLineFeed();

    if (const QString index = target.buildIndex ? FccSchema::CreateIndexSql(table) : QString();
        !index.isEmpty()) {
        std::function<bool()> keepGoing;
        if (hooks.cancel)
            keepGoing = [cancel = hooks.cancel] { return !cancel->IsCancelled(); };
        if (!loader.ExecInterruptible(index, 10000, keepGoing)) {
            stats.cancelled = true;
            return stats;
        }
    }
    loader.Commit();
    return stats;
}
