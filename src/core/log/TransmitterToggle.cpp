#include "core/log/TransmitterToggle.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

namespace {

bool IsHostName(const QString& host)
{
    // Labels of letters, digits, "-" and "_" (ssh aliases may hold "_"), separated by single dots,
    // none beginning or ending with "-".
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9_](?:[A-Za-z0-9_-]{0,61}[A-Za-z0-9_])?(?:\\.[A-Za-z0-9_](?:[A-Za-z0-9_-]{"
                       "0,61}[A-Za-z0-9_])?)*\\.?$"));
    return host.size() <= 253 && name.match(host).hasMatch();
}

bool IsIpv6Address(const QString& host)
{
    static const QRegularExpression address(QStringLiteral("^[0-9A-Fa-f:.]+$"));
    return host.count(QLatin1Char(':')) >= 2 && host.size() <= 45 && address.match(host).hasMatch();
}

} // namespace

CTransmitterToggle::CTransmitterToggle(QObject* parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CTransmitterToggle::OnTimeOut);
}

CTransmitterToggle::~CTransmitterToggle()
{
    Abort();
}

QString CTransmitterToggle::CheckHost(const QString& host)
{
    if (host.trimmed().isEmpty())
        return QStringLiteral("Type the transmitter's host into the box beside \"Transmit [F10]\".");
    if (host.startsWith(QLatin1Char('-')))
        return QStringLiteral("\"%1\" is not a host name: it begins with \"-\".").arg(host);
    QString machine = host;
    const qsizetype at = host.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        static const QRegularExpression user(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]{0,31}$"));
        if (!user.match(host.left(at)).hasMatch())
            return QStringLiteral("\"%1\" is not a host name: the user name before \"@\" is not valid.")
                .arg(host);
        machine = host.mid(at + 1);
    }
    if (machine.isEmpty() || machine.startsWith(QLatin1Char('-')) ||
        (!IsHostName(machine) && !IsIpv6Address(machine)))
        return QStringLiteral("\"%1\" is not a host name: use only letters, digits, \".\" and \"-\" "
                              "(optionally after \"user@\").")
            .arg(host);
    return {};
}

CTransmitterToggle::CCommand CTransmitterToggle::BuildCommand(const QString& program, const QString& script,
                                                              const QString& host)
{
    // "--" ends ssh's options, so nothing after it is read as one.
    return {program, {QStringLiteral("-Y"), QStringLiteral("--"), host, script}};
}

bool CTransmitterToggle::IsRunning() const
{
    return m_process != nullptr;
}

bool CTransmitterToggle::Start(const QString& program, const QString& script, const QString& host,
                               int timeOutSeconds, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (IsRunning())
        return fail(QStringLiteral("The transmitter command is still running."));
    if (const QString why = CheckHost(host); !why.isEmpty())
        return fail(why);
    if (program.trimmed().isEmpty())
        return fail(QStringLiteral("No transmitter program is set (Transmitter/Program in the settings)."));

    const CCommand command = BuildCommand(program, script, host);
    m_program = program;
    m_host = host;
    m_timeOut = timeOutSeconds > 0 ? timeOutSeconds : 30;
    m_reported = false;
    m_process = new QProcess(this);
    // Its output is of no use here but the last words of its error output, kept for the report.
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) { OnFinished(code, static_cast<int>(status)); });
    connect(m_process, &QProcess::errorOccurred, this,
            [this](QProcess::ProcessError e) { OnError(static_cast<int>(e)); });
    m_timer->start(m_timeOut * 1000);
    m_process->start(command.program, command.arguments, QIODevice::ReadOnly);
    return true;
}

void CTransmitterToggle::OnFinished(int exitCode, int exitStatus)
{
    if (!m_process)
        return;
    if (exitStatus != QProcess::NormalExit) {
        Report(false, QStringLiteral("The transmitter command \"%1\" crashed.").arg(m_program));
        return;
    }
    if (exitCode != 0) {
        QString detail = QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed();
        detail = detail.section(QLatin1Char('\n'), -1).trimmed();
        Report(false, detail.isEmpty()
                          ? QStringLiteral("The transmitter command failed on %1 (exit code %2).")
                                .arg(m_host)
                                .arg(exitCode)
                          : QStringLiteral("The transmitter command failed on %1 (exit code %2): %3")
                                .arg(m_host)
                                .arg(exitCode)
                                .arg(detail));
        return;
    }
    Report(true, QStringLiteral("Transmitter toggled on %1.").arg(m_host));
}

void CTransmitterToggle::OnError(int error)
{
    if (!m_process)
        return;
    // Only a failed start ends the run here; crashes and time-outs arrive through finished or the timer.
    if (error == QProcess::FailedToStart)
        Report(false, QStringLiteral("Cannot start the transmitter command \"%1\": %2")
                          .arg(m_program, m_process->errorString()));
}

void CTransmitterToggle::OnTimeOut()
{
    if (!m_process)
        return;
    Report(false, QStringLiteral("The transmitter command on %1 did not end within %2 s and was stopped.")
                      .arg(m_host)
                      .arg(m_timeOut));
}

void CTransmitterToggle::Report(bool ok, const QString& message)
{
    if (m_reported)
        return;
    m_reported = true;
    Abort();
    Q_EMIT finished(ok, message);
}

void CTransmitterToggle::Abort()
{
    m_timer->stop();
    if (!m_process)
        return;
    QProcess* p = m_process;
    m_process = nullptr;
    p->disconnect(this);
    if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(2000);
    }
    p->deleteLater();
}
