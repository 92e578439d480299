#include "core/mail/Base64.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

void CBase64::Encode(const char* data, qsizetype length, QByteArray& out) const
{
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    const qsizetype start = out.size();
    out.resize(start + (length + 2) / 3 * 4);
    char* o = out.data() + start;
    qsizetype i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = kAlphabet[v & 63];
    }
    if (i < length) {
        const bool two = i + 1 < length;
        const unsigned v = (in[i] << 16) | (two ? in[i + 1] << 8 : 0);
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = two ? kAlphabet[(v >> 6) & 63] : '=';
        *o++ = '=';
    }
}

QByteArray CBase64::Encode(const QByteArray& data)
{
    QByteArray out;
    CBase64().Encode(data.constData(), data.size(), out);
    return out;
}

bool CBase64::Decode(const char* text, qsizetype length, QByteArray& out) const
{
    // Line breaks between the groups are allowed; anything else outside the alphabet is not.
    unsigned v = 0;
    int bits = 0;
    int padding = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int d = Value(c);
        if (d < 0 || padding > 0)
            return false;
        v = (v << 6) | static_cast<unsigned>(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.append(static_cast<char>((v >> bits) & 0xFF));
        }
    }
    // A whole number of groups: what is left over are the zero bits of the padding.
    return ((bits == 0 && padding == 0) || (bits == 4 && padding == 2) || (bits == 2 && padding == 1)) &&
           (v & ((1u << bits) - 1)) == 0;
}
