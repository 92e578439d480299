#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Hamlib's rigctld serving its dummy radio (model 1) on 127.0.0.1 and a free port, for the rig's tests;
// rigctl plays the operator at the radio's knobs. The server goes with the object.
class CRigServer
{
public:
    // Whether rigctld and rigctl are installed (Debian's libhamlib-utils).
    static bool Available();

    // pttType: how the dummy radio keys ("RIG"; "NONE" makes it refuse).
    explicit CRigServer(const QString& pttType = QStringLiteral("RIG"));
    ~CRigServer();
    CRigServer(const CRigServer&) = delete;
    CRigServer& operator=(const CRigServer&) = delete;

    // Empty while it runs as asked; else why not.
    const QString& Error() const { return m_error; }
    int Port() const { return m_port; }
    QString Address() const; // "127.0.0.1:PORT", as --rig takes it

    // Stopped for good (killed), and started again on the same port (a fresh dummy radio).
    void Kill();
    bool Start();
    // Frozen and thawed (SIGSTOP, SIGCONT): connections are taken, nothing is answered.
    void Pause();
    void Resume();

    // Runs "rigctl -m 2 -r 127.0.0.1:PORT ARGS..." and returns its standard output, trimmed.
    QString Rigctl(const QStringList& args) const;

private:
    bool StartOn(int port);

    QString m_pttType;
    QProcess m_process;
    int m_port = 0;
    bool m_paused = false;
    QString m_error;
};

} // namespace TestSupport
