// logwarden-cli rig: the radio's frequency, mode and PTT through Hamlib.
#include "cli/CliCommand.h"
#include "core/rig/RigAddress.h"
#include "core/rig/RigController.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

const QString kUsage =
    QStringLiteral("rig --rig (MODEL:DEVICE[@SPEED] | HOST:PORT) (status | ptt on|off | freq [HZ])");

int Usage(const QString& why)
{
    CliError(QStringLiteral("logwarden-cli rig: %1\nUsage: logwarden-cli %2").arg(why, kUsage));
    return 2;
}

// The frequency to set: a whole number of Hz.
bool ParseHz(const QString& text, qint64* hz)
{
    if (text.isEmpty() || text.size() > 13)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    *hz = text.toLongLong();
    return *hz > 0;
}

int RunRig(const QStringList& args)
{
    const CCliArgs a(args, {QStringLiteral("rig")});
    if (const QString why = a.Unexpected({QStringLiteral("rig")}, 2); !why.isEmpty())
        return Usage(why);
    if (a.Value(QStringLiteral("rig")).trimmed().isEmpty())
        return Usage(QStringLiteral("--rig is required"));
    QString error;
    const CRigAddress address = CRigAddress::Parse(a.Value(QStringLiteral("rig")), &error);
    if (!address.IsSet())
        return Usage(error);

    const QStringList& words = a.Positional();
    const QString verb = words.value(0);
    enum class Action
    {
        Status,
        PttOn,
        PttOff,
        Frequency
    } action = Action::Status;
    qint64 hz = 0;
    if (verb == QLatin1String("status") && words.size() == 1) {
        action = Action::Status;
    } else if (verb == QLatin1String("ptt") && words.size() == 2 &&
               (words[1] == QLatin1String("on") || words[1] == QLatin1String("off"))) {
        action = words[1] == QLatin1String("on") ? Action::PttOn : Action::PttOff;
    } else if (verb == QLatin1String("freq") && words.size() <= 2) {
        if (words.size() == 2 && !ParseHz(words[1], &hz))
            return Usage(
                QStringLiteral("'%1' is not a frequency: give it in Hz, e.g. 146610000").arg(words[1]));
        action = words.size() == 2 ? Action::Frequency : Action::Status;
    } else if (verb == QLatin1String("ptt")) {
        return Usage(QStringLiteral("give \"ptt on\" or \"ptt off\""));
    } else {
        return Usage(verb.isEmpty() ? QStringLiteral("say what to do: status, ptt on|off or freq [HZ]")
                                    : QStringLiteral("unknown subcommand '%1'").arg(verb));
    }

    CRigController rig;
    // A PTT keyed from the command line stays keyed after the command: that is what it was asked for.
    rig.SetReleasePttOnClose(false);
    rig.SetAddress(address);
    int request = 0;
    switch (action) {
    case Action::Status:
        request = rig.Refresh();
        break;
    case Action::PttOn:
    case Action::PttOff:
        request = rig.SetPtt(action == Action::PttOn);
        break;
    case Action::Frequency:
        request = rig.SetFrequency(hz);
        break;
    }

    const QString where = address.ToString();
    int exitCode = 1;
    bool answered = false;
    QObject::connect(&rig, &CRigController::finished, [&](int done, const CRigStatus& status) {
        if (done != request)
            return;
        answered = true;
        QCoreApplication::exit(0);
        if (!status.connected) {
            CliError(QStringLiteral("logwarden-cli rig: the rig at %1 is not answering (%2)")
                         .arg(where, status.error));
            return;
        }
        CliPrint(QStringLiteral("%1|%2|%3")
                     .arg(status.frequencyHz)
                     .arg(CliField(status.mode))
                     .arg(status.ptt ? 1 : 0));
        if (!status.error.isEmpty()) {
            CliError(QStringLiteral("logwarden-cli rig: %1").arg(status.error));
            return;
        }
        if ((action == Action::PttOn || action == Action::PttOff) &&
            status.ptt != (action == Action::PttOn)) {
            CliError(QStringLiteral("logwarden-cli rig: the radio reads PTT back as %1")
                         .arg(status.ptt ? QStringLiteral("on") : QStringLiteral("off")));
            return;
        }
        exitCode = 0;
    });
    // Hamlib gives up on a silent radio after its time-out; this is for one that keeps it waiting longer.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(0); });
    deadline.start(4 * rig.TimeOutMs() + 1000);
    QCoreApplication::exec();
    if (!answered)
        CliError(QStringLiteral("logwarden-cli rig: the rig at %1 is not answering (no answer in %2 s)")
                     .arg(where)
                     .arg((4 * rig.TimeOutMs() + 1000) / 1000));
    return exitCode;
}

CCliRegistrar reg{
    {QStringLiteral("rig"), kUsage,
     QStringLiteral("Reads the radio's frequency, mode and PTT through Hamlib, keys or unkeys "
                    "it, or sets its frequency; prints FREQ|MODE|PTT (Hz, Hamlib's mode, 1 "
                    "keyed) as the radio reports it afterwards. Exits 1 when the radio does not "
                    "answer or refuses."),
     &RunRig}};

} // namespace
