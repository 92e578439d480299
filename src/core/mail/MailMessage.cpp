#include "core/mail/MailMessage.h"

#include "core/app/Clock.h"
#include "core/mail/MailText.h"

#include <QRandomGenerator>

CMailMessage::CMailMessage() = default;
CMailMessage::~CMailMessage() = default;

void CMailMessage::AddRecipient(const QString& address, const QString& name)
{
    m_recipients.push_back({address, name});
}

bool CMailMessage::AddMultipleRecipients(const QString& recipients)
{
    // Every piece between ";" is one recipient, the piece after the last ";" included: "name <address>"
    // (the name as written, up to the "<") or a bare address.
    const QStringList pieces = recipients.split(QLatin1Char(';'));
    for (const QString& piece : pieces) {
        const qsizetype open = piece.indexOf(QLatin1Char('<'));
        if (open < 0) {
            AddRecipient(piece);
            continue;
        }
        const qsizetype close = piece.indexOf(QLatin1Char('>'));
        if (close < open)
            return false;
        AddRecipient(piece.mid(open + 1, close - open - 1), piece.left(open));
    }
    return true;
}

bool CMailMessage::GetRecipient(int index, QString& address, QString& name) const
{
    if (index < 0 || index >= GetNumRecipients())
        return false;
    address = m_recipients[static_cast<size_t>(index)].address;
    name = m_recipients[static_cast<size_t>(index)].name;
    return true;
}

QString CMailMessage::GetEnvelopeSender() const
{
    const auto box = MailText::ParseMailbox(m_sFrom);
    return box ? MailText::WireAddress(box->address) : QString();
}

QString CMailMessage::Check() const
{
    const QString lineBreak = QStringLiteral("%1 holds a line break or another control character: \"%2\"");
    const auto shown = [](QString text) {
        return text.replace(QLatin1Char('\r'), QLatin1String("\\r"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    };
    if (MailText::HasControl(m_sFrom))
        return lineBreak.arg(QStringLiteral("The sender"), shown(m_sFrom));
    if (!MailText::ParseMailbox(m_sFrom))
        return QStringLiteral("The sender \"%1\" is not an e-mail address (name <address> or address)")
            .arg(m_sFrom);
    if (MailText::HasControl(m_sSubject))
        return lineBreak.arg(QStringLiteral("The subject"), shown(m_sSubject));
    if (MailText::HasControl(m_sMailer))
        return lineBreak.arg(QStringLiteral("The mailer name"), shown(m_sMailer));
    for (const CRecipient& r : m_recipients) {
        if (MailText::HasControl(r.name))
            return lineBreak.arg(QStringLiteral("The recipient's name"), shown(r.name));
        // An empty address is the server's to refuse; one that would break the command is ours.
        if (!r.address.isEmpty()) {
            const QString why = MailText::CheckAddress(r.address);
            if (!why.isEmpty())
                return QStringLiteral("Recipient refused: %1").arg(why);
        }
    }
    return {};
}

void CMailMessage::PrepareHeader()
{
    m_sHeader.clear();
}

void CMailMessage::AddHeaderLine(const QByteArray& line)
{
    m_sHeader += line;
    m_sHeader += "\r\n";
}

QByteArray CMailMessage::FromHeaderText() const
{
    const auto box = MailText::ParseMailbox(m_sFrom);
    if (!box) // refused by Check()
        return MailText::HeaderText(m_sFrom);
    // A bare address as typed; a display form rebuilt, which leaves a well-formed one as it was.
    if (!m_sFrom.contains(QLatin1Char('<')))
        return MailText::WireAddress(m_sFrom.trimmed()).toLatin1();
    return MailText::DisplayName(box->name) + '<' + MailText::WireAddress(box->address).toLatin1() + '>';
}

void CMailMessage::FormatHeader()
{
    AddHeaderLine("From: " + FromHeaderText());

    // Recipients after the first go on a continuation line when the line would pass 78 characters.
    QByteArray to = "To: ";
    qsizetype lineStart = 0;
    for (size_t i = 0; i < m_recipients.size(); ++i) {
        const QByteArray mailbox = MailText::DisplayName(m_recipients[i].name) + '<' +
                                   MailText::WireAddress(m_recipients[i].address).toLatin1() + '>';
        if (i > 0) {
            to += ',';
            if (to.size() - lineStart + mailbox.size() > 78) {
                to += "\r\n ";
                lineStart = to.size() - 1;
            }
        }
        to += mailbox;
    }
    AddHeaderLine(to);

    const CSystemClock systemClock;
    const QDateTime now = (m_clock ? m_clock : &systemClock)->Now();
    m_tDateTime = now.toSecsSinceEpoch();
    AddHeaderLine("Date: " + MailText::DateText(now));
    AddHeaderLine("Subject: " + MailText::HeaderText(m_sSubject, 9));
    AddHeaderLine("X-Mailer: " + MailText::HeaderText(m_sMailer, 10));

    // Some providers refuse mail without a Message-ID. Its right side is the sender's domain, the
    // usual choice of a client without a host name of its own.
    QString id = m_sMessageId;
    if (id.isEmpty()) {
        QString domain = GetEnvelopeSender().section(QLatin1Char('@'), 1);
        if (domain.isEmpty() || !MailText::IsAscii(domain))
            domain = QStringLiteral("logwarden.invalid");
        id = QStringLiteral("%1.%2@%3")
                 .arg(now.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")))
                 .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'))
                 .arg(domain);
    }
    AddHeaderLine("Message-ID: <" + id.toUtf8() + '>');
}

void CMailMessage::EndHeader()
{
    m_sHeader += "\r\n";
}

void CMailMessage::EnsureCrLf(QByteArray& text)
{
    if (!text.endsWith("\r\n"))
        text += "\r\n";
}

void CMailMessage::FormatBody()
{
    m_sFormattedBody = MailText::ToCrLf(m_sBody).toUtf8();
    EnsureCrLf(m_sFormattedBody);
}

bool CMailMessage::FormatMessage()
{
    m_sFormatError.clear();
    PrepareHeader();
    FormatHeader();
    EndHeader();
    FormatBody();
    return m_sFormatError.isEmpty();
}
