#pragma once

#include "core/mail/MIMEContentAgent.h"

#include <QString>

// A file attachment as its part is sent: the sub-header and the base64 lines.
struct CEncodedAttachment
{
    QString path;
    QString fileName;
    QByteArray text;
};

// File attachments, base64 in lines of 54 bytes (72 characters).
class CAppOctetStream : public CMIMEContentAgent
{
public:
    CAppOctetStream();

    bool AppendPart(const CMIMEPart& part, QByteArray& body, QString& error) const override;
    QString GetContentTypeString() const override { return QStringLiteral("application/octet-stream"); }

    // Reads and encodes the file once, so that a message per station need not do it again. Null, with
    // the reason in error, when the file cannot be read or its name holds control characters.
    static std::shared_ptr<const CEncodedAttachment> Encode(const QString& path, QString& error);

    // "; name=value" of a header parameter: the value as it stands when it is a token, quoted when it is
    // other ASCII, and in the UTF-8 form of RFC 2231 (name*=UTF-8''...) otherwise.
    static QByteArray Parameter(const char* name, const QString& value);

protected:
    QByteArray BuildSubHeader(const CMIMEPart& part) const override;

private:
    static QByteArray SubHeader(const QString& fileName);
};
