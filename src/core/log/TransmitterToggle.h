#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class QTimer;

// The transmitter toggle: logs in to the transmitter's host by ssh and runs the toggle script there,
//   ssh -Y -- HOST bin/TXToggle.bash
// (the program and the script are settings). The program is started with an argument list, never through
// a shell, and runs asynchronously with a time-out.
class CTransmitterToggle : public QObject
{
    Q_OBJECT
public:
    struct CCommand
    {
        QString program;
        QStringList arguments;
    };

    explicit CTransmitterToggle(QObject* parent = nullptr);
    ~CTransmitterToggle() override;

    // Empty when the text can be handed to ssh as its destination; otherwise why not. Accepted: a host
    // name or address, optionally after "user@": letters, digits, ".", "-" and "_", IPv6 addresses with
    // ":"; nothing that begins with "-" (ssh would read it as an option) and no blanks or other characters.
    static QString CheckHost(const QString& host);
    static CCommand BuildCommand(const QString& program, const QString& script, const QString& host);

    // Starts the command; false (with the reason in *error) when the host is refused or a command is
    // still running. The result arrives through finished().
    bool Start(const QString& program, const QString& script, const QString& host, int timeOutSeconds,
               QString* error = nullptr);
    bool IsRunning() const;
    // Stops a running command without reporting (the form is going away).
    void Abort();

Q_SIGNALS:
    // ok: the command ran to its end with exit code 0. message: what happened, for the status bar.
    void finished(bool ok, const QString& message);

private:
    void OnFinished(int exitCode, int exitStatus);
    void OnError(int error);
    void OnTimeOut();
    void Report(bool ok, const QString& message);

    QProcess* m_process = nullptr;
    QTimer* m_timer = nullptr;
    QString m_program;
    QString m_host;
    int m_timeOut = 0;
    bool m_reported = false;
};
