// logwarden-cli qrz-compile, qrz and fcc-status: the QRZ databases and the status check without the
// window.
#include "cli/CliCommand.h"
#include "cli/CliProgress.h"
#include "core/Exceptions.h"
#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "core/fcc/FccDbInfo.h"
#include "core/fcc/UlsArchive.h"
#include "core/qrz/QrzCDb.h"
#include "core/qrz/QrzPull.h"
#include "core/qrz/QrzQuery.h"
#include "core/web/WebRequest.h"

#include <QDir>
#include <sqlite3.h>

namespace {

bool BadArguments(const CCliArgs& args, const QString& command, const QString& usage, qsizetype positional)
{
    if (args.Error().isEmpty() && args.Positional().size() == positional)
        return false;
    QString why = args.Error();
    if (why.isEmpty())
        why = args.Positional().size() > positional
                  ? QStringLiteral("unexpected argument '%1'").arg(args.Positional().value(positional))
                  : QStringLiteral("missing argument");
    CliError(QStringLiteral("logwarden-cli %1: %2\nUsage: logwarden-cli %3").arg(command, why, usage));
    return true;
}

const QString kCompileUsage = QStringLiteral("qrz-compile --input CSV [--output FILE] [--verbose]");

int RunQrzCompile(const QStringList& rawArgs)
{
    const CCliArgs args(rawArgs, {QStringLiteral("input"), QStringLiteral("output")});
    if (BadArguments(args, QStringLiteral("qrz-compile"), kCompileUsage, 0))
        return 2;
    const QString input = args.Value(QStringLiteral("input"));
    if (input.isEmpty()) {
        CliError(QStringLiteral(
                     "logwarden-cli qrz-compile: give the CSV file with --input\nUsage: logwarden-cli %1")
                     .arg(kCompileUsage));
        return 2;
    }
    const QString output = args.Value(QStringLiteral("output"), CQRZCDb::OutputPathFor(input));

    CQRZCDb compiler(input, output);
    CCliProgress bar(QStringLiteral("QRZ"));
    compiler.SetProgress(&bar.Progress());
    if (args.Has(QStringLiteral("verbose"))) {
        compiler.SetSkipped([&](qint64 line, const QString& reason) {
            bar.Finish();
            CliError(QStringLiteral("line %1: %2").arg(line).arg(reason));
        });
    }
    const CCliInterrupt interrupt(&bar.Progress());
    // Nothing here asks SQLite how much memory it uses: without that count its allocations need no lock.
    // (A no-op once SQLite is running, which it is not yet in this process.)
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    CQRZCDb::CResult result;
    try {
        result = compiler.Compile();
    } catch (const CLogwardenException& e) {
        bar.Finish();
        CliError(
            QStringLiteral("logwarden-cli qrz-compile: %1\n%2 was left as it was.").arg(e.Message(), output));
        return 1;
    }
    bar.Finish();
    if (result.cancelled) {
        CliError(QStringLiteral("Compile Cancelled; %1 was left as it was.").arg(output));
        return 130;
    }
    CliPrint(QStringLiteral("QRZ: %1").arg(CQRZCDb::ResultText(result)));
    return 0;
}

const QString kQrzUsage = QStringLiteral("qrz CALL [--host URL] [--user NAME]");

int RunQrz(const QStringList& rawArgs)
{
    const CCliArgs args(rawArgs,
                        {QStringLiteral("host"), QStringLiteral("user"), QStringLiteral("data-dir")});
    if (BadArguments(args, QStringLiteral("qrz"), kQrzUsage, 1))
        return 2;
    const QString folder = args.DataFolderPath();
    if (!QDir().mkpath(folder)) {
        CliError(QStringLiteral("logwarden-cli qrz: cannot create the data folder \"%1\"").arg(folder));
        return 1;
    }
    const CSettings settings(CSettings::DefaultPath(), folder);
    CQRZAccount account;
    account.host = args.Value(QStringLiteral("host"), settings.Get(Setting::QrzXmlHost));
    account.userName = args.Value(QStringLiteral("user"), settings.Get(Setting::QrzUserName));
    // The environment first (scripts), else the keyring, where the window's account dialog keeps it.
    QString keyringNote;
    if (qEnvironmentVariableIsSet("LOGWARDEN_QRZ_PASSWORD")) {
        account.password = QString::fromLocal8Bit(qgetenv("LOGWARDEN_QRZ_PASSWORD"));
    } else if (!account.userName.isEmpty()) {
        CSecretStore keyring;
        if (const std::optional<QString> password = keyring.Read(CSecretStore::QrzAccount(account.userName)))
            account.password = *password;
        else if (keyring.IsSessionOnly())
            keyringNote = QStringLiteral(" (The keyring cannot be reached: %1.)").arg(keyring.KeyringError());
    }

    CWebRequest http(CWebOptions::FromSettings(settings));
    CQRZQuery query(http, folder);
    query.SetAccount(account);
    query.SetHomeGrid(settings.Get(Setting::QrzHomeGrid), settings.Get(Setting::QrzMeasurementUnit));
    // Call signs are upper case in the log as at QRZ.
    if (!query.Query(args.Positional()[0].trimmed().toUpper())) {
        QString text = query.GetLastError();
        if (query.GetFailure() == CQRZQuery::Failure::NoAccount)
            text += QStringLiteral(" Give the user name with --user (or the QrzAccount/UserName setting) and "
                                   "the password in LOGWARDEN_QRZ_PASSWORD or the desktop keyring (the "
                                   "window's QRZ account dialog keeps it there).") +
                    keyringNote;
        CliError(QStringLiteral("logwarden-cli qrz: %1").arg(text));
        return 1;
    }
    const CQRZCallData& d = query.GetData();
    // The callbook's values may hold anything: each stays on its own line.
    CliPrint(QStringLiteral("Name: %1").arg(CliField(QrzPull::NameText(d))));
    CliPrint(QStringLiteral("Street: %1").arg(CliField(d.addr1)));
    CliPrint(QStringLiteral("Location: %1").arg(CliField(QrzPull::LocationText(d))));
    CliPrint(QStringLiteral("Class: %1").arg(CliField(d.cls)));
    CliPrint(QStringLiteral("Grid: %1").arg(CliField(d.grid)));
    CliPrint(QStringLiteral("Email: %1").arg(CliField(d.email)));
    CliPrint(QStringLiteral("Expires: %1").arg(d.expires.toString(Qt::ISODate)));
    CliPrint(QStringLiteral("Distance: %1").arg(CliField(d.distance)));
    return 0;
}

const QString kStatusUsage = QStringLiteral("fcc-status [--host URL]");

int RunFccStatus(const QStringList& rawArgs)
{
    const CCliArgs args(rawArgs, {QStringLiteral("host"), QStringLiteral("data-dir")});
    if (BadArguments(args, QStringLiteral("fcc-status"), kStatusUsage, 0))
        return 2;
    const QString folder = args.DataFolderPath();
    const CSettings settings(CSettings::DefaultPath(), folder);
    const QString host = args.Value(QStringLiteral("host"), settings.Get(Setting::FccUlsWebHost));
    QString archiveFolder = settings.Get(Setting::FccStorageLocation);
    if (archiveFolder.isEmpty())
        archiveFolder = folder;

    CWebRequest http(CWebOptions::FromSettings(settings));
    CFCCDbInfo info;
    info.Apply(CFCCDbInfo::CheckFccWebsite(
        http, host, QDir(archiveFolder).filePath(QLatin1String(UlsArchive::kArchiveName))));
    CliPrint(QStringLiteral("Available: %1").arg(info.m_strAvailable));
    CliPrint(QStringLiteral("Current: %1").arg(info.m_strCurrent));
    if (!info.m_strReason.isEmpty())
        CliError(info.m_strReason);
    return info.m_strAvailable == CFCCDbInfo::Unknown() ? 1 : 0;
}

const CCliRegistrar g_qrzCompile{
    {QStringLiteral("qrz-compile"), kCompileUsage,
     QStringLiteral(
         "Build the QRZ database FILE (default QRZ97.db beside the CSV file) from QRZ's CSV file of "
         "licensees. The old FILE is replaced only when the build completes; lines that cannot be "
         "loaded are skipped and counted (--verbose lists them)."),
     &RunQrzCompile}};
const CCliRegistrar g_qrz{
    {QStringLiteral("qrz"), kQrzUsage,
     QStringLiteral(
         "Look CALL up in the QRZ XML callbook and print what \"Pull from QRZ\" fills in. Host and "
         "user default to the QrzAccount settings; the password is read from LOGWARDEN_QRZ_PASSWORD, else "
         "from the desktop keyring. "
         "Exit status 1 when QRZ answers with an error or does not know CALL."),
     &RunQrz}};
const CCliRegistrar g_fccStatus{
    {QStringLiteral("fcc-status"), kStatusUsage,
     QStringLiteral(
         "Print the newest licence archive the FCC offers (from its weekly-transactions page on URL, "
         "default the FccUlsWebHost setting) and the one on disk. Exit status 1 when the FCC's "
         "page gave no answer."),
     &RunFccStatus}};

} // namespace
