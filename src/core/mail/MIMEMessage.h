#pragma once

#include "core/mail/MIMEContentAgent.h"
#include "core/mail/MailMessage.h"

#include <vector>

// A "multipart/mixed" message: the text first, then the attachments, each formatted by the agent of its
// type (CMIMETypeManager).
class CMIMETypeManager;

class CMIMEMessage : public CMailMessage
{
public:
    // types: the content agents the parts are formatted with.
    explicit CMIMEMessage(const CMIMETypeManager& types);

    // A part; a text part goes before the others, any other part after them.
    void AddMIMEPart(const QString& content, int type = CMIMEContentAgent::AppOctetStream,
                     const QString& parameters = {}, int encoding = CMIMEContentAgent::Base64,
                     bool isPath = true);
    // An attachment encoded beforehand (CAppOctetStream::Encode).
    void AddAttachment(std::shared_ptr<const CEncodedAttachment> attachment);

    const QString& GetBoundary() const { return m_sBoundary; }

protected:
    void FormatHeader() override;
    void FormatBody() override;
    virtual void AppendMIMEParts(const std::vector<CMIMEPart>& parts);

private:
    void InsertBoundary();
    void InsertEndBoundary();

    const CMIMETypeManager& m_types;
    QString m_sPartPreamble = QStringLiteral("This is a multi-part message in MIME format.");
    QString m_sMIMEContentType = QStringLiteral("multipart/mixed");
    QString m_sBoundary = QStringLiteral("QV_MAIL_PaRt_BoUnDaRy_05151998");
    std::vector<CMIMEPart> m_parts;
};
