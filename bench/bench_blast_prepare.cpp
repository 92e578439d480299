// Prepares the blast benchmark in a folder: a log whose day 2024-03-07 has the given number of stations
// with e-mail addresses, a 5 MB attachment, the message text, and the messages the blast sends, composed
// by the same code (msg/NNN.eml with the recipient in msg/NNN.rcpt), for curl to send.
//   bench_blast_prepare DIR [STATIONS] [ATTACHMENT_MB]
#include "core/db/Database.h"
#include "core/log/LogSchema.h"
#include "core/log/detail/LogwardenSet.h"
#include "core/mail/AppOctetStream.h"
#include "core/mail/BlastEmail.h"
#include "core/mail/MIMEMessage.h"
#include "core/mail/MIMETypeManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cstdio>

namespace {

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_blast_prepare DIR [STATIONS] [ATTACHMENT_MB]\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const int stations = argc > 2 ? std::atoi(argv[2]) : 100;
    const int megabytes = argc > 3 ? std::atoi(argv[3]) : 5;
    dir.mkpath(QStringLiteral("msg"));

    const QString logPath = dir.filePath(QStringLiteral("Logwarden-97.db"));
    QFile::remove(logPath);
    {
        CDatabase db(logPath);
        LogSchema::Prepare(db);
        CLogwardenSet set(&db);
        set.Open();
        for (int i = 0; i < stations; ++i) {
            set.AddNew();
            set.m_CallSign = QStringLiteral("W%1AB%2").arg(i % 10).arg(QChar(u'A' + i / 10 % 26));
            set.m_CallSign += QString::number(i);
            set.m_Name = QStringLiteral("Op %1").arg(i);
            set.m_eMailAddr = QStringLiteral("op%1@example.org").arg(i);
            set.m_Date = CDateTime(QDateTime(QDate(2024, 3, 7), QTime(21, 0).addSecs(i * 20)));
            set.Update();
        }
    }

    QByteArray attachment(qsizetype(megabytes) * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    rng.fillRange(reinterpret_cast<quint32*>(attachment.data()), attachment.size() / 4);
    Write(dir.filePath(QStringLiteral("agenda.bin")), attachment);
    const QString text =
        QStringLiteral("Dear <NAME> (<CALL>),\n\nyou are invited to the net tonight at 9:00 PM on "
                       "146.61 MHz. The agenda is attached.\n.\n73 de N0CALL\n");
    Write(dir.filePath(QStringLiteral("invite.msg")), text.toUtf8());

    // The messages as the blast composes them.
    CDatabase db(logPath, CDatabase::ReadOnly);
    QString error;
    const auto encoded = CAppOctetStream::Encode(dir.filePath(QStringLiteral("agenda.bin")), error);
    int n = 0;
    const CMIMETypeManager types;
    for (const CBlastStation& s : CBlastEmail::DistributionList(db, QDate(2024, 3, 7))) {
        CMIMEMessage m(types);
        m.SetFrom(QStringLiteral("\"N0CALL Net\" <n0call@example.org>"));
        m.SetSubject(QStringLiteral("Invitation: Check-in to the net"));
        m.AddRecipient(s.email, QStringLiteral("%1 (%2)").arg(s.callSign, s.name));
        m.SetBody(CBlastEmail::Personalise(text, s));
        m.AddAttachment(encoded);
        m.FormatMessage();
        ++n;
        const QString base = dir.filePath(QStringLiteral("msg/%1").arg(n, 3, 10, QLatin1Char('0')));
        Write(base + QStringLiteral(".eml"), m.GetHeader() + m.GetFormattedBody());
        Write(base + QStringLiteral(".rcpt"), s.email.toUtf8());
    }
    std::printf("%d stations, %d MB attachment, %d messages composed\n", stations, megabytes, n);
    return 0;
}
