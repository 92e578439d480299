#include "support/MailSupport.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <QtTest>

namespace TestSupport {

namespace {

void Openssl(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("openssl %s failed: %s", qPrintable(args.join(QLatin1Char(' '))), p.readAll().constData());
}

void MakeLeaf(const QString& dir, const QString& name, const QString& altNames)
{
    Openssl({QStringLiteral("req"),
             QStringLiteral("-x509"),
             QStringLiteral("-newkey"),
             QStringLiteral("ec"),
             QStringLiteral("-pkeyopt"),
             QStringLiteral("ec_paramgen_curve:prime256v1"),
             QStringLiteral("-nodes"),
             QStringLiteral("-keyout"),
             dir + QLatin1Char('/') + name + QStringLiteral(".key"),
             QStringLiteral("-out"),
             dir + QLatin1Char('/') + name + QStringLiteral(".pem"),
             QStringLiteral("-days"),
             QStringLiteral("2"),
             QStringLiteral("-subj"),
             QStringLiteral("/CN=") + name,
             QStringLiteral("-CA"),
             dir + QStringLiteral("/ca.pem"),
             QStringLiteral("-CAkey"),
             dir + QStringLiteral("/ca.key"),
             QStringLiteral("-addext"),
             QStringLiteral("subjectAltName=") + altNames,
             QStringLiteral("-addext"),
             QStringLiteral("basicConstraints=critical,CA:FALSE")});
}

bool WaitFor(const QString& path, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!QFile::exists(path)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

CTestCertificates MakeTestCertificates(const QString& folder)
{
    Openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
             QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
             QStringLiteral("-nodes"), QStringLiteral("-keyout"), folder + QStringLiteral("/ca.key"),
             QStringLiteral("-out"), folder + QStringLiteral("/ca.pem"), QStringLiteral("-days"),
             QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=Logwarden Test CA")});
    MakeLeaf(folder, QStringLiteral("server"), QStringLiteral("IP:127.0.0.1,DNS:localhost"));
    MakeLeaf(folder, QStringLiteral("other"), QStringLiteral("DNS:other.example"));
    return {folder + QStringLiteral("/ca.pem"), folder + QStringLiteral("/server.pem"),
            folder + QStringLiteral("/server.key"), folder + QStringLiteral("/other.pem"),
            folder + QStringLiteral("/other.key")};
}

std::vector<CReceivedMail> ReceivedMail(const QString& folder, int expected, int timeoutMs)
{
    WaitFor(QStringLiteral("%1/%2.json").arg(folder).arg(expected, 4, 10, QLatin1Char('0')), timeoutMs);
    std::vector<CReceivedMail> mail;
    for (int n = 1;; ++n) {
        const QString base = QStringLiteral("%1/%2").arg(folder).arg(n, 4, 10, QLatin1Char('0'));
        if (!QFile::exists(base + QStringLiteral(".json")))
            break;
        CReceivedMail m;
        m.meta = QJsonDocument::fromJson(ReadFile(base + QStringLiteral(".json"))).object();
        if (QFile::exists(base + QStringLiteral(".eml")))
            m.content = ReadFile(base + QStringLiteral(".eml"));
        mail.push_back(m);
    }
    return mail;
}

QByteArray PeerSession(const QString& folder, int n, int timeoutMs)
{
    const QString path = QStringLiteral("%1/session-%2.bin").arg(folder).arg(n);
    if (!WaitFor(path, timeoutMs))
        return "<missing>";
    return ReadFile(path);
}

} // namespace TestSupport
