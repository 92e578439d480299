#pragma once

#include "core/jobs/Progress.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <signal.h>
#include <vector>

class CDatabase;

// A subcommand of logwarden-cli. Each one registers itself from its own source file:
//   static CCliRegistrar reg{{"lookup", "lookup CALL [--fcc FILE]", "Look a call sign up ...", &RunLookup}};
struct CCliCommand
{
    QString name;
    QString usage;
    QString summary;
    std::function<int(const QStringList& args)> run; // args: what follows the subcommand's name
};

std::vector<CCliCommand>& CliCommands();

struct CCliRegistrar
{
    explicit CCliRegistrar(CCliCommand command) { CliCommands().push_back(std::move(command)); }
};

// Options of the form "--name value" or "--name=value", flags "--name", and positional arguments.
class CCliArgs
{
public:
    // valueOptions: the options that take a value (without "--").
    CCliArgs(const QStringList& args, const QStringList& valueOptions);

    bool Has(const QString& option) const;
    QString Value(const QString& option, const QString& fallback = {}) const;
    // Every value of an option given more than once, in order.
    QStringList Values(const QString& option) const;
    const QStringList& Positional() const { return m_positional; }
    // Empty when the arguments parsed; otherwise what was wrong.
    const QString& Error() const { return m_error; }
    // What is wrong with the arguments of a command that takes the options `known` (with or without a
    // value) and at most `positional` other arguments: Error(), an unknown option or a stray argument.
    // Empty when they are fine.
    QString Unexpected(const QStringList& known, qsizetype positional = 0) const;
    // --data-dir DIR, else $LOGWARDEN_DATA_DIR, else the usual data folder.
    QString DataFolderPath() const;

private:
    QStringList m_args;
    QStringList m_flags;
    QList<QPair<QString, QString>> m_values;
    QStringList m_positional;
    QString m_error;
};

// While an object of this class lives, Ctrl+C and SIGTERM ask the work to stop instead of ending the process,
// so that it stops cleanly (a partly written file is removed); the earlier handlers come back when it goes.
class CCliInterrupt
{
public:
    // cancels, when given, is cancelled by either signal too (the work under way stops at its next look).
    explicit CCliInterrupt(CProgress* cancels = nullptr);
    ~CCliInterrupt();
    CCliInterrupt(const CCliInterrupt&) = delete;
    CCliInterrupt& operator=(const CCliInterrupt&) = delete;
    // Whether either signal came.
    static bool Requested();

private:
    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
};

// Messages for the terminal, with control characters written as escapes ("\x1b"), so that a name from a
// file (an archive's entry, a call sign from a web page) can never drive the terminal.
void CliPrint(const QString& text); // standard output, with a line feed
void CliError(const QString& text); // standard error, with a line feed
QString CliPrintable(const QString& text);
// One field of a printed record whose text comes from outside (a web page, a log, a server): besides the
// control characters, line ends, "|" (the field separator) and the bidirectional controls are written as
// escapes ("\x0a", "\x7c", "\u202e") and "\" as "\\", so that a field can neither start a record of
// its own, shift the columns nor turn the line round.
QString CliField(const QString& text);

// Opens an existing log read-only for a command; nullptr, after saying why, when the file is missing or holds
// no check-in log.
std::unique_ptr<CDatabase> CliOpenLog(const QString& command, const QString& path);
