#include "core/fcc/FccFilter.h"

namespace FccFilter {

CQueryFilter CallSignEquals(const QString& callSign)
{
    return {QStringLiteral("CallSign = ?"), {callSign}};
}

CQueryFilter UniqueSystemIdentifierEquals(qint32 identifier)
{
    return {QStringLiteral("UniqueSystemIdentifier = ?"), {identifier}};
}

CQueryFilter CallSignAndIdentifierEqual(const QString& callSign, qint32 identifier)
{
    return {QStringLiteral("CallSign = ? AND UniqueSystemIdentifier = ?"), {callSign, identifier}};
}

CQueryFilter CallSignLike(const QString& pattern)
{
    QString like;
    like.reserve(pattern.size());
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            like += QLatin1Char('%');
        else if (c == QLatin1Char('?'))
            like += QLatin1Char('_');
        else {
            if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
                like += QLatin1Char('\\');
            like += c;
        }
    }
    return {QStringLiteral("CallSign LIKE ? ESCAPE '\\'"), {like}};
}

} // namespace FccFilter
