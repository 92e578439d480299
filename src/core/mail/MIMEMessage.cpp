#include "core/mail/MIMEMessage.h"

#include "core/mail/AppOctetStream.h"
#include "core/mail/MIMETypeManager.h"
#include "core/mail/MailText.h"

#include <QRandomGenerator>

CMIMEMessage::CMIMEMessage(const CMIMETypeManager& types) : m_types(types) {}

void CMIMEMessage::AddMIMEPart(const QString& content, int type, const QString& parameters, int encoding,
                               bool isPath)
{
    CMIMEPart part{type, parameters, encoding, isPath, content.trimmed(), nullptr};
    if (type == CMIMEContentAgent::TextPlain)
        m_parts.insert(m_parts.begin(), std::move(part));
    else
        m_parts.push_back(std::move(part));
}

void CMIMEMessage::AddAttachment(std::shared_ptr<const CEncodedAttachment> attachment)
{
    CMIMEPart part{CMIMEContentAgent::AppOctetStream, {},     CMIMEContentAgent::Base64, true,
                   attachment->path.trimmed(),        nullptr};
    part.encoded = std::move(attachment);
    m_parts.push_back(std::move(part));
}

void CMIMEMessage::FormatHeader()
{
    // The boundary must not occur in the text; base64 lines cannot hold it.
    const QString text = GetBody();
    bool clash = text.contains(m_sBoundary);
    for (const CMIMEPart& part : m_parts)
        clash = clash || (part.type == CMIMEContentAgent::TextPlain && part.content.contains(m_sBoundary));
    if (clash)
        m_sBoundary +=
            QStringLiteral("_%1").arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));

    CMailMessage::FormatHeader();
    AddHeaderLine("MIME-Version: 1.0");
    // The boundary goes on a line of its own when the whole would pass 78 characters (a boundary made
    // unique is long).
    const QByteArray type = "Content-Type: " + m_sMIMEContentType.toLatin1() + ";";
    const QByteArray boundary = "boundary=" + m_sBoundary.toLatin1();
    AddHeaderLine(type.size() + 1 + boundary.size() > 78 ? type + "\r\n " + boundary : type + " " + boundary);
}

void CMIMEMessage::InsertBoundary()
{
    EnsureCrLf(m_sFormattedBody);
    m_sFormattedBody += "--" + m_sBoundary.toLatin1() + "\r\n";
}

void CMIMEMessage::InsertEndBoundary()
{
    EnsureCrLf(m_sFormattedBody);
    m_sFormattedBody += "--" + m_sBoundary.toLatin1() + "--\r\n";
}

void CMIMEMessage::FormatBody()
{
    // The text is the first part. It is put in front of the parts of this formatting only, so that a
    // message formatted twice still holds it once.
    std::vector<CMIMEPart> parts;
    if (!GetBody().isEmpty())
        parts.push_back({CMIMEContentAgent::TextPlain,
                         {},
                         CMIMEContentAgent::SevenBit,
                         false,
                         MailText::ToCrLf(GetBody()).trimmed(),
                         nullptr});
    parts.insert(parts.end(), m_parts.begin(), m_parts.end());
    std::stable_partition(parts.begin(), parts.end(),
                          [](const CMIMEPart& p) { return p.type == CMIMEContentAgent::TextPlain; });

    m_sFormattedBody = m_sPartPreamble.toUtf8() + "\r\n\r\n";
    AppendMIMEParts(parts);
    InsertEndBoundary();
    EnsureCrLf(m_sFormattedBody);
}

void CMIMEMessage::AppendMIMEParts(const std::vector<CMIMEPart>& parts)
{
    for (const CMIMEPart& part : parts) {
        const CMIMEContentAgent* agent = m_types.GetHandler(part.type);
        if (!agent)
            continue;
        InsertBoundary();
        QString error;
        if (!agent->AppendPart(part, m_sFormattedBody, error) && m_sFormatError.isEmpty())
            m_sFormatError = error;
    }
}
