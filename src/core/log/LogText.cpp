#include "core/log/LogText.h"

#include <algorithm>
#include <iterator>

namespace {

// The postal codes of the states, the District of Columbia, the territories and the armed forces' "states".
const char* const kStateCodes[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA", "HI", "ID",
                                   "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD", "MA", "MI", "MN", "MS",
                                   "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC", "ND", "OH", "OK",
                                   "OR", "PA", "RI", "SC", "SD", "TN", "TX", "UT", "VT", "VA", "WA", "WV",
                                   "WI", "WY", "DC", "AS", "GU", "MP", "PR", "VI", "UM", "AA", "AE", "AP"};

bool IsAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsDigit(const QString& text, qsizetype i)
{
    return i < text.size() && text[i] >= u'0' && text[i] <= u'9';
}

bool IsStateCode(const QString& word)
{
    const QByteArray upper = word.toUpper().toLatin1();
    return std::any_of(std::begin(kStateCodes), std::end(kStateCodes),
                       [&upper](const char* code) { return upper == code; });
}

// A ZIP code at i: five digits, or ZIP+4, not followed by a further digit.
bool IsZipAt(const QString& text, qsizetype i)
{
    for (qsizetype k = 0; k < 5; ++k) {
        if (!IsDigit(text, i + k))
            return false;
    }
    qsizetype end = i + 5;
    if (end < text.size() && text[end] == u'-' && IsDigit(text, end + 1) && IsDigit(text, end + 2) &&
        IsDigit(text, end + 3) && IsDigit(text, end + 4))
        end += 5;
    return !IsDigit(text, end);
}

// Whether the two letters at i are the state of an address: right after a comma, before a ZIP code, or at
// the end of the text. A word in the middle of a place name ("Lake In The Hills") is not.
bool StandsAsState(const QString& text, qsizetype i)
{
    qsizetype before = i - 1;
    while (before >= 0 && text[before].isSpace())
        --before;
    if (before >= 0 && text[before] == u',')
        return true;
    qsizetype after = i + 2;
    while (after < text.size() && text[after].isSpace())
        ++after;
    return after == text.size() || IsZipAt(text, after);
}

} // namespace

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
    // The three the form always fixed, wherever they stand between blanks.
    for (const char* state : {"Sc", "Ga", "Nc"}) {
        const QString mixed = QLatin1Char(' ') + QLatin1String(state) + QLatin1Char(' ');
        out.replace(mixed, mixed.toUpper());
    }
    const qsizetype n = out.size();
    for (qsizetype i = 0; i + 1 < n; ++i) {
        if (!IsAsciiLetter(out[i]) || !IsAsciiLetter(out[i + 1]))
            continue;
        if ((i > 0 && out[i - 1].isLetterOrNumber()) || (i + 2 < n && out[i + 2].isLetterOrNumber()))
            continue;
        if (IsStateCode(out.sliced(i, 2)) && StandsAsState(out, i)) {
            out[i] = out[i].toUpper();
            out[i + 1] = out[i + 1].toUpper();
        }
        ++i; // the second letter starts no word
    }
    return out;
}

bool SameCallSign(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace LogText
