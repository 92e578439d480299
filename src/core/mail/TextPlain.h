#pragma once

#include "core/mail/MIMEContentAgent.h"

// The text part: wrapped at the width given, "7Bit" when it is ASCII with lines a server accepts,
// otherwise quoted-printable UTF-8.
class CTextPlain : public CMIMEContentAgent
{
public:
    explicit CTextPlain(int wrapWidth);

    bool AppendPart(const CMIMEPart& part, QByteArray& body, QString& error) const override;
    QString GetContentTypeString() const override { return QStringLiteral("text/plain"); }

    // The wrap of the text (lines ending in CR LF): a line is broken at the last space seen once it
    // has run past the width.
    static QString Wrap(QString text, int width);

protected:
    QByteArray BuildSubHeader(const CMIMEPart& part) const override;

private:
    int m_nWrapPos;
};
