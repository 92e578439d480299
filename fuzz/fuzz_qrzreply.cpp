// Fuzzes the readers of web replies the QRZ look-up and the status check take in: the XML callbook
// reply (record, session key, error), the expiry date, and the FCC's weekly-transactions page.
#include "core/fcc/FccDbInfo.h"
#include "core/qrz/QrzReply.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CQRZReply reply = ParseQrzReply(bytes);
    // A reply is either well-formed or says why not, and a record only comes with a well-formed one.
    if (!reply.wellFormed && reply.xmlError.isEmpty())
        std::abort();
    if (reply.hasRecord && !reply.wellFormed)
        std::abort();
    if (reply.data.views < 0)
        std::abort();
    (void)IsQrzSessionError(reply, bytes);
    const QDate expires = QrzExpiryDate(QString::fromUtf8(bytes.left(16)));
    if (!expires.isNull() && !expires.isValid())
        std::abort();
    QString why;
    const std::optional<QString> available = CFCCDbInfo::AvailableText(bytes, &why);
    // Either a text without markup, or a reason.
    if (available ? (available->contains(QLatin1Char('<')) || !why.isEmpty()) : why.isEmpty())
        std::abort();
    return 0;
}
