#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

struct CEncodedAttachment;

// One part of a multipart message, before formatting.
struct CMIMEPart
{
    int type = 0;        // CMIMEContentAgent::TextPlain or ::AppOctetStream
    QString parameters;  // appended to the part's Content-Type line
    int encoding = 0;    // CMIMEContentAgent::SevenBit or ::Base64; recorded only
    bool isPath = false; // content names a file
    QString content;     // trimmed of leading and trailing white space
    // An attachment encoded once beforehand, shared by every message that carries it.
    std::shared_ptr<const CEncodedAttachment> encoded;
};

// Formats the parts of one content type. Agents hold no state of a message and may serve several
// threads at once.
class CMIMEContentAgent
{
public:
    enum Type
    {
        TextPlain = 0,
        AppOctetStream = 1
    };
    enum Encoding
    {
        SevenBit = 0,
        Base64 = 4
    };

    explicit CMIMEContentAgent(int type) : m_nMIMETypeIHandle(type) {}
    virtual ~CMIMEContentAgent() = default;
    int GetType() const { return m_nMIMETypeIHandle; }

    // Appends the part's sub-header and content to the body. False, with the reason in error, when
    // the content could not be had; what was appended until then stays.
    virtual bool AppendPart(const CMIMEPart& part, QByteArray& body, QString& error) const = 0;
    virtual QString GetContentTypeString() const = 0;

protected:
    virtual QByteArray BuildSubHeader(const CMIMEPart& part) const = 0;

private:
    int m_nMIMETypeIHandle;
};
