#include "core/log/LogExport.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/FdDevice.h"
#include "core/app/OutputCheck.h"
#include "core/db/Database.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"

#include <QFileInfo>
#include <QIODevice>
#include <unistd.h>

namespace LogExport {

namespace {

QByteArray Field(const QString& text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text.toUtf8();
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return flat.toUtf8();
}

void Put(QIODevice& out, const QByteArray& bytes)
{
    if (out.write(bytes) != bytes.size())
        throw CFileException(QStringLiteral("Cannot write the export: %1").arg(out.errorString()), QString());
}

} // namespace

QString DefaultFileName(const QDate& today)
{
    return QStringLiteral("Logwarden_%1-%2-%3").arg(today.year()).arg(today.month()).arg(today.day());
}

QByteArray HeaderLine()
{
    return QByteArrayLiteral("Num|UUID|Ack|Call|Name|Street|City State Zip|Class|Date|Comment\n");
}

QByteArray Line(int number, const CCheckinRecord& r)
{
    QByteArray line;
    line.reserve(128);
    line += QByteArray::number(number);
    line += '|';
    line += QByteArray::number(r.id);
    line += '|';
    line += r.acknowledged ? '1' : '0';
    for (const QString* field : {&r.callSign, &r.name, &r.street, &r.location, &r.cls}) {
        line += '|';
        line += Field(*field);
    }
    line += '|';
    line += r.date.ToListText().toUtf8();
    line += '|';
    line += Field(r.comment);
    line += '\n';
    return line;
}

long Write(CDatabase& db, const std::optional<QDate>& day, QIODevice& out)
{
    const CQueryFilter filter = day ? LogFilter::Day(*day) : CQueryFilter{};
    long written = 0;
    // The header goes out with the first check-in, so that an empty day leaves the file empty.
    if (!day)
        Put(out, HeaderLine());
    QByteArray buffer;
    CheckinQuery::ForEach(db, filter, QStringLiteral("ID"), [&](const CCheckinRecord& r) {
        if (written == 0 && day)
            buffer += HeaderLine();
        buffer += Line(static_cast<int>(++written), r);
        if (buffer.size() >= 1 << 16) {
            Put(out, buffer);
            buffer.clear();
        }
    });
    if (!buffer.isEmpty())
        Put(out, buffer);
    return written;
}

long WriteFile(CDatabase& db, const std::optional<QDate>& day, const QString& path)
{
    // Never over the log being exported, its companions, nor any other database.
    if (OutputCheck::Refuse(path, OutputCheck::Builds::Text, {db.GetPath()}) == OutputCheck::Way::Stream) {
        // A pipe or a process's standard output is written through, never replaced.
        const int fd = OutputCheck::OpenStream(path);
        CFdDevice out(fd);
        long written = 0;
        try {
            written = Write(db, day, out);
        } catch (const CFileException&) {
            ::close(fd);
            throw CFileException(QStringLiteral("Cannot write \"%1\": %2.").arg(path, out.errorString()),
                                 path);
        }
        ::close(fd);
        return written;
    }
    CAtomicFile file(path);
    long written = 0;
    try {
        written = Write(db, day, file.Device());
    } catch (const CFileException&) {
        throw CFileException(
            QStringLiteral("Cannot write \"%1\": %2.").arg(path, file.Device().errorString()), path);
    }
    file.Commit();
    return written;
}

} // namespace LogExport
