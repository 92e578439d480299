#include "core/log/LogText.h"

namespace LogText {

QString CamelCase(const QString& text)
{
    QString out = text;
    bool upperNext = true;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out[i].unicode();
        if (upperNext && c >= u'a' && c <= u'z')
            out[i] = QChar(c - u'a' + u'A');
        else if (!upperNext && c >= u'A' && c <= u'Z')
            out[i] = QChar(c - u'A' + u'a');
        upperNext = c == u' ' || c == u'(' || c == u'.' || (c >= u'1' && c <= u'9') || c == u'@';
    }
    return out;
}

QString FixStateAbbreviations(const QString& text)
{
    QString out = text;
    for (const char* state : {"Sc", "Ga", "Nc"}) {
        const QString mixed = QLatin1Char(' ') + QLatin1String(state) + QLatin1Char(' ');
        out.replace(mixed, mixed.toUpper());
    }
    return out;
}

bool SameCallSign(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace LogText
