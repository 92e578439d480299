#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <vector>

namespace TestSupport {

// A throw-away CA and two server certificates signed by it (made with openssl): one for 127.0.0.1 and
// localhost, one for another name only.
struct CTestCertificates
{
    QString caPem;
    QString serverPem;
    QString serverKey;
    QString otherNamePem;
    QString otherNameKey;
};
CTestCertificates MakeTestCertificates(const QString& folder);

// A message as smtp_server.py received it: its .json and the data it read.
struct CReceivedMail
{
    QJsonObject meta;
    QByteArray content;
};
// The messages in the server's folder, waiting until there are `expected` of them (or the time-out).
std::vector<CReceivedMail> ReceivedMail(const QString& folder, int expected, int timeoutMs = 20000);

// What smtp_peer.py recorded of its session n (from 1), once the session is over; "<missing>" after
// the time-out.
QByteArray PeerSession(const QString& folder, int n, int timeoutMs = 20000);

} // namespace TestSupport
