// logwarden-cli: the headless face of Logwarden's core.
#include "cli/CliCommand.h"
#include "core/Exceptions.h"
#include "core/app/Version.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

void PrintHelp()
{
    QString text = QStringLiteral("Usage: logwarden-cli [--help] [--version] COMMAND [ARGS...]\n"
                                  "\n"
                                  "The command-line tool of Logwarden, the net-control logbook.\n"
                                  "\n"
                                  "Commands:\n");
    auto commands = CliCommands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& c : commands)
        text += QStringLiteral("  %1\n      %2\n").arg(c.usage, c.summary);
    if (commands.empty())
        text += QStringLiteral("  (none yet)\n");
    text += QStringLiteral("\n'logwarden-cli COMMAND --help' shows the usage of one command.");
    CliPrint(text);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("logwarden-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LOGWARDEN_VERSION));
    const QStringList args = QCoreApplication::arguments().mid(1);

    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h") ||
        args[0] == QLatin1String("help")) {
        PrintHelp();
        return args.isEmpty() ? 2 : 0;
    }
    if (args[0] == QLatin1String("--version")) {
        CliPrint(QStringLiteral("logwarden-cli " LOGWARDEN_VERSION));
        return 0;
    }
    for (const auto& command : CliCommands()) {
        if (command.name != args[0])
            continue;
        const QStringList rest = args.mid(1);
        if (rest.contains(QLatin1String("--help"))) {
            CliPrint(QStringLiteral("Usage: logwarden-cli %1\n%2").arg(command.usage, command.summary));
            return 0;
        }
        try {
            return command.run(rest);
        } catch (const CLogwardenException& e) {
            CliError(QStringLiteral("logwarden-cli %1: %2").arg(command.name, e.Message()));
            return 1;
        }
    }
    CliError(QStringLiteral("logwarden-cli: unknown command '%1' (see logwarden-cli --help)").arg(args[0]));
    return 2;
}
