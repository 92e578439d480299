#include "core/mail/AppOctetStream.h"

#include "core/mail/Base64.h"
#include "core/mail/MailText.h"

#include <QFile>
#include <QFileInfo>

CAppOctetStream::CAppOctetStream() : CMIMEContentAgent(AppOctetStream) {}

QByteArray CAppOctetStream::Parameter(const char* name, const QString& value)
{
    static const QByteArray kSpecials = "()<>@,;:\\\"/[]?= ";
    if (!MailText::IsAscii(value)) {
        // RFC 2231: charset, empty language, then the UTF-8 bytes with all but attr-chars escaped.
        static const QByteArray kAttrChars = "!#$&+-.^_`|~";
        static const char kHex[] = "0123456789ABCDEF";
        QByteArray out = "; " + QByteArray(name) + "*=UTF-8''";
        for (const char b : value.toUtf8()) {
            const auto c = static_cast<unsigned char>(b);
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                kAttrChars.contains(b)) {
                out += b;
            } else {
                out += '%';
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
        }
        return out;
    }
    const bool token = !value.isEmpty() && std::none_of(value.begin(), value.end(), [](QChar c) {
        return c.unicode() < 0x21 || c.unicode() > 0x7E || kSpecials.contains(static_cast<char>(c.unicode()));
    });
    if (token)
        return "; " + QByteArray(name) + '=' + value.toLatin1();
    QByteArray out = "; " + QByteArray(name) + "=\"";
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += '\\';
        out += static_cast<char>(c.unicode());
    }
    return out + '"';
}

QByteArray CAppOctetStream::SubHeader(const QString& fileName)
{
    return "Content-Type: application/octet-stream" + Parameter("file", fileName) +
           "\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment" +
           Parameter("filename", fileName) + "\r\n\r\n";
}

QByteArray CAppOctetStream::BuildSubHeader(const CMIMEPart& part) const
{
    return SubHeader(QFileInfo(part.content).fileName());
}

std::shared_ptr<const CEncodedAttachment> CAppOctetStream::Encode(const QString& path, QString& error)
{
    const QString fileName = QFileInfo(path).fileName();
    if (MailText::HasControl(fileName)) {
        error =
            QStringLiteral("The attachment's name holds a line break or another control character: \"%1\"")
                .arg(QString(fileName)
                         .replace(QLatin1Char('\n'), QLatin1String("\\n"))
                         .replace(QLatin1Char('\r'), QLatin1String("\\r")));
        return nullptr;
    }
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        error =
            QStringLiteral("Cannot read the attachment \"%1\": %2")
                .arg(path, QFileInfo(path).isDir() ? QStringLiteral("it is a folder") : file.errorString());
        return nullptr;
    }
    auto encoded = std::make_shared<CEncodedAttachment>();
    encoded->path = path;
    encoded->fileName = fileName;
    QByteArray& out = encoded->text;
    out = SubHeader(fileName);
    const qint64 size = file.size();
    if (size > 0)
        out.reserve(out.size() + (size + 53) / 54 * 74 + 4);

    // Lines of 54 bytes; the last, shorter one (empty when the size is a multiple of 54) ends the file,
    // and an empty line follows.
    constexpr qsizetype kLine = 54;
    constexpr qsizetype kBlock = kLine * 4096;
    const CBase64 base64;
    QByteArray block(kBlock, Qt::Uninitialized);
    QByteArray carry;
    for (;;) {
        const qint64 got = file.read(block.data() + carry.size(), kBlock - carry.size());
        if (got < 0) {
            error = QStringLiteral("Cannot read the attachment \"%1\": %2").arg(path, file.errorString());
            return nullptr;
        }
        std::copy(carry.cbegin(), carry.cend(), block.begin());
        const qsizetype have = carry.size() + got;
        carry.clear();
        qsizetype pos = 0;
        for (; pos + kLine <= have; pos += kLine) {
            base64.Encode(block.constData() + pos, kLine, out);
            out += "\r\n";
        }
        if (got == 0) {
            base64.Encode(block.constData() + pos, have - pos, out);
            out += "\r\n\r\n";
            break;
        }
        carry = QByteArray(block.constData() + pos, have - pos);
    }
    return encoded;
}

bool CAppOctetStream::AppendPart(const CMIMEPart& part, QByteArray& body, QString& error) const
{
    std::shared_ptr<const CEncodedAttachment> encoded = part.encoded;
    if (!encoded)
        encoded = Encode(part.content, error);
    if (!encoded)
        return false;
    body += encoded->text;
    return true;
}
