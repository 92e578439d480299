#pragma once

#include <QByteArray>

// A content transfer coding of MIME parts.
class CMIMECode
{
public:
    virtual ~CMIMECode() = default;
    // The bytes back from their coded text; false when the text is not valid for the coding.
    virtual bool Decode(const char* text, qsizetype length, QByteArray& out) const = 0;
    // The coded text of the bytes, without line breaks; appended to out.
    virtual void Encode(const char* data, qsizetype length, QByteArray& out) const = 0;
};

// Base64 with the standard alphabet, padded with "=" to a multiple of four characters.
class CBase64 : public CMIMECode
{
public:
    bool Decode(const char* text, qsizetype length, QByteArray& out) const override;
    void Encode(const char* data, qsizetype length, QByteArray& out) const override;

    static QByteArray Encode(const QByteArray& data);
};
