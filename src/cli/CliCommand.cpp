#include "cli/CliCommand.h"

#include "core/app/DataFolder.h"
#include "core/db/Database.h"
#include "core/log/LogSchema.h"

#include <QFileInfo>

#include <atomic>
#include <cstdio>

std::vector<CCliCommand>& CliCommands()
{
    static std::vector<CCliCommand> commands;
    return commands;
}

CCliArgs::CCliArgs(const QStringList& args, const QStringList& valueOptions) : m_args(args)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--")) {
            m_positional += args.mid(i + 1);
            break;
        }
        if (!arg.startsWith(QLatin1String("--")) || arg.size() == 2) {
            m_positional << arg;
            continue;
        }
        QString name = arg.mid(2);
        const int eq = static_cast<int>(name.indexOf(QLatin1Char('=')));
        if (eq >= 0) {
            const QString value = name.mid(eq + 1);
            name = name.left(eq);
            if (!valueOptions.contains(name)) {
                m_error = QStringLiteral("unknown option --%1").arg(name);
                return;
            }
            m_values.append({name, value});
        } else if (valueOptions.contains(name)) {
            if (i + 1 >= args.size()) {
                m_error = QStringLiteral("option --%1 needs a value").arg(name);
                return;
            }
            m_values.append({name, args[++i]});
        } else {
            m_flags << name;
        }
    }
}

QString CCliArgs::Unexpected(const QStringList& known, qsizetype positional) const
{
    if (!m_error.isEmpty())
        return m_error;
    for (const QString& arg : m_args) {
        if (arg == QLatin1String("--"))
            break;
        const QString name = arg.mid(2).section(QLatin1Char('='), 0, 0);
        if (arg.startsWith(QLatin1String("--")) && !known.contains(name))
            return QStringLiteral("unknown option --%1").arg(name);
    }
    if (m_positional.size() > positional)
        return QStringLiteral("unexpected argument '%1'").arg(m_positional.value(positional));
    return {};
}

QString CCliArgs::DataFolderPath() const
{
    QStringList argv{QStringLiteral("logwarden-cli")};
    if (Has(QStringLiteral("data-dir")))
        argv << QStringLiteral("--data-dir") << Value(QStringLiteral("data-dir"));
    return DataFolder::Resolve(argv);
}

namespace {

std::atomic<bool> g_interrupted{false};
// What a signal cancels besides: a handler can only reach what a static holds.
std::atomic<CProgress*> g_cancels{nullptr};

void OnInterrupt(int)
{
    g_interrupted = true;
    if (CProgress* progress = g_cancels.load())
        progress->Cancel(); // a lock-free atomic store, safe in a handler
}

} // namespace

CCliInterrupt::CCliInterrupt(CProgress* cancels)
{
    g_cancels = cancels;
    struct sigaction action = {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previousInt);
    sigaction(SIGTERM, &action, &m_previousTerm);
}

CCliInterrupt::~CCliInterrupt()
{
    g_cancels = nullptr;
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
}

bool CCliInterrupt::Requested()
{
    return g_interrupted.load();
}

bool CCliArgs::Has(const QString& option) const
{
    if (m_flags.contains(option))
        return true;
    for (const auto& v : m_values)
        if (v.first == option)
            return true;
    return false;
}

QString CCliArgs::Value(const QString& option, const QString& fallback) const
{
    for (const auto& v : m_values)
        if (v.first == option)
            return v.second;
    return fallback;
}

QStringList CCliArgs::Values(const QString& option) const
{
    QStringList values;
    for (const auto& v : m_values)
        if (v.first == option)
            values << v.second;
    return values;
}

QString CliPrintable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Control characters (an entry name of an archive may hold any) would drive the terminal.
        if ((u < 0x20 && u != '\n' && u != '\t') || u == 0x7F || (u >= 0x80 && u < 0xA0))
            out += u < 0x100 ? QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'))
                             : QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString CliField(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool bidi = u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
                          (u >= 0x2066 && u <= 0x2069);
        if (u == '\\')
            out += QLatin1String("\\\\");
        else if (u < 0x20 || u == '|' || u == 0x7F || (u >= 0x80 && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else if (bidi)
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void CliPrint(const QString& text)
{
    std::fputs(CliPrintable(text).toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void CliError(const QString& text)
{
    std::fputs(CliPrintable(text).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

std::unique_ptr<CDatabase> CliOpenLog(const QString& command, const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        CliError(QStringLiteral("logwarden-cli %1: the log \"%2\" does not exist").arg(command, path));
        return nullptr;
    }
    auto db = std::make_unique<CDatabase>(path, CDatabase::ReadOnly);
    LogSchema::RefuseNewer(*db);
    if (!db->TableExists(QString::fromLatin1(LogSchema::kTable))) {
        CliError(QStringLiteral("logwarden-cli %1: \"%2\" holds no check-in log").arg(command, path));
        return nullptr;
    }
    LogSchema::PrepareReader(*db);
    return db;
}
