// logwarden-cli unzip and uls-extract.
#include "cli/CliCommand.h"
#include "cli/CliProgress.h"
#include "core/fcc/UlsArchive.h"
#include "core/zip/ParallelExtract.h"
#include "core/zip/ZipArchive.h"

#include <QDir>

namespace {

int RunUnzip(const QStringList& argv)
{
    CCliArgs args(argv, {});
    if (!args.Error().isEmpty() || args.Positional().size() != 2) {
        CliError(args.Error().isEmpty() ? QStringLiteral("usage: logwarden-cli unzip ARCHIVE DIR")
                                        : args.Error());
        return 2;
    }
    const QString folder = args.Positional()[1];
    CProgress progress;
    const CCliInterrupt interrupt(&progress);
    CZipArchive archive;
    archive.OpenArchive(args.Positional()[0]);
    int files = 0;
    bool attributes = true;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        const CFileHeader& h = archive.Header(i);
        if (!archive.IsEntryDirectory(i))
            CliPrint(QStringLiteral("  extracting: %1").arg(CZipArchive::SafeBaseName(h.m_fileName)));
        if (!archive.ExtractEntry(i, folder, CZipArchive::kDefaultBufferSize, &progress)) {
            if (CCliInterrupt::Requested()) {
                CliError(QStringLiteral("logwarden-cli unzip: interrupted"));
                return 130;
            }
            attributes = false;
        }
        if (!archive.IsEntryDirectory(i))
            ++files;
    }
    CliPrint(QStringLiteral("%1 file(s) extracted to %2").arg(files).arg(folder));
    if (!attributes)
        CliError(QStringLiteral("warning: the time or permissions of some files could not be set"));
    return 0;
}

int RunUlsExtract(const QStringList& argv)
{
    CCliArgs args(argv, {QStringLiteral("archive"), QStringLiteral("dir"), QStringLiteral("threads")});
    if (!args.Error().isEmpty() || !args.Positional().isEmpty() || !args.Has(QStringLiteral("archive")) ||
        !args.Has(QStringLiteral("dir"))) {
        CliError(
            args.Error().isEmpty()
                ? QStringLiteral("usage: logwarden-cli uls-extract --archive FILE --dir DIR [--threads N]")
                : args.Error());
        return 2;
    }
    const int threads = args.Value(QStringLiteral("threads"), QStringLiteral("0")).toInt();
    CCliProgress bar(QStringLiteral("Extracting"));
    const CCliInterrupt interrupt(&bar.Progress());
    const UlsArchive::CExtractResult r = UlsArchive::ExtractDataFiles(
        args.Value(QStringLiteral("archive")), args.Value(QStringLiteral("dir")), &bar.Progress(), threads);
    bar.Finish();
    if (r.cancelled) {
        CliError(QStringLiteral("logwarden-cli uls-extract: interrupted"));
        return 130;
    }
    if (r.files.isEmpty()) {
        CliError(QStringLiteral("logwarden-cli uls-extract: the archive holds no HD.dat, EN.dat or AM.dat"));
        return 1;
    }
    for (const QString& f : r.files)
        CliPrint(QStringLiteral("  extracted: %1").arg(f));
    if (!r.attributesSet)
        CliError(QStringLiteral("warning: the time or permissions of some files could not be set"));
    return 0;
}

const CCliRegistrar unzipReg{
    {QStringLiteral("unzip"), QStringLiteral("unzip ARCHIVE DIR"),
     QStringLiteral("Extract every file of a ZIP archive into DIR (under its base name)."), &RunUnzip}};
const CCliRegistrar ulsExtractReg{
    {QStringLiteral("uls-extract"), QStringLiteral("uls-extract --archive FILE --dir DIR [--threads N]"),
     QStringLiteral("Extract HD.dat, EN.dat and AM.dat from the FCC's l_amat.zip into DIR."),
     &RunUlsExtract}};

} // namespace
