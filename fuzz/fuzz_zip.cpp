// Fuzzes the ZIP reader: opening, listing and extracting every entry of arbitrary bytes. Besides the
// sanitizers, it checks after every input that extraction wrote nothing outside its target folder,
// even through a link planted there.
#include "core/Exceptions.h"
#include "core/zip/ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString g_root; // <TMPDIR>/logwarden-fuzz-XXXXXX: holds only jail/ and what is in it
QString g_jail; // the archive and out/
QString g_out;  // the extraction's target folder

QStringList Listing(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

[[noreturn]] void Escaped(const char* what)
{
    std::fprintf(stderr, "fuzz_zip: extraction wrote outside its folder: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* tmp = std::getenv("TMPDIR");
    QByteArray tmpl = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/logwarden-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        std::abort();
    g_root = QString::fromLocal8Bit(tmpl);
    g_jail = g_root + QStringLiteral("/jail");
    g_out = g_jail + QStringLiteral("/out");
    QDir().mkpath(g_out);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString archivePath = g_jail + QStringLiteral("/in.zip");
    {
        QFile f(archivePath);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    // A link at a likely target name, pointing outside the jail: it must be replaced, never followed.
    QFile::link(g_root + QStringLiteral("/outside"), g_out + QStringLiteral("/AM.dat"));

    try {
        CZipArchive zip;
        zip.OpenArchive(archivePath);
        const int count = zip.GetEntryCount();
        for (int i = 0; i < count && i < 64; ++i) {
            CFileHeader h;
            if (!zip.GetEntryInfo(h, i))
                std::abort();
            (void)zip.IsEntryDirectory(i);
            try {
                zip.ExtractEntry(i, g_out, 4096);
            } catch (const CLogwardenException&) {
            }
        }
        if (count > 0 && zip.OpenEntry(0)) {
            char buf[1000];
            try {
                while (zip.ReadEntry(buf, sizeof buf) > 0) {
                }
            } catch (const CLogwardenException&) {
            }
            zip.CloseEntry();
        }
    } catch (const CLogwardenException&) {
    }

    if (Listing(g_root) != QStringList{QStringLiteral("jail")})
        Escaped(qPrintable(Listing(g_root).join(QLatin1Char(' '))));
    if (Listing(g_jail) != QStringList{QStringLiteral("in.zip"), QStringLiteral("out")})
        Escaped(qPrintable(Listing(g_jail).join(QLatin1Char(' '))));
    for (const QString& name : Listing(g_out)) {
        // Not QDir::filePath(): it takes a name starting with ':' for a resource path.
        const QString path = g_out + QLatin1Char('/') + name;
        if (name.startsWith(QLatin1Char('.')) && name.endsWith(QLatin1String(".part")))
            Escaped("a temporary file was left behind");
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
    return 0;
}
