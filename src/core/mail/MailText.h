#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// The pieces of Internet mail text that the message classes and the blast share: line ends, header
// encodings, the date form and the split of a mailbox into name and address.
namespace MailText {

// Every line end (CR LF, a lone LF, a lone CR) as CR LF, which is all SMTP allows.
QString ToCrLf(const QString& text);

// True when the text holds a control character (CR, LF, NUL, ...; a tab is allowed): such a value
// would end a header line or an SMTP command early and let the rest be read as another one.
bool HasControl(const QString& text);
bool IsAscii(const QString& text);

// RFC 2047 "B" encoded words of UTF-8 text, each at most 64 characters (so that a line holding one and a
// field name stays within 76), folded onto continuation lines ("\r\n ").
QByteArray EncodedWords(const QString& text);
// Header text after a field name of `used` characters: ASCII as it stands, folded at blanks when the
// line would pass 78 characters; anything else, or ASCII that cannot be folded within SMTP's 998, as
// encoded words.
QByteArray HeaderText(const QString& text, int used = 0);
// The display name of a mailbox, ready to be followed by "<address>": a name that is ASCII words, or
// already a quoted string, as it stands; other ASCII names quoted (so "<", ">", ";" or "," in them
// cannot be read as addresses); non-ASCII names as encoded words. Empty for an empty name.
QByteArray DisplayName(const QString& name);

// Quoted-printable (RFC 2045) of text whose lines end with CR LF; no encoded line is longer than
// 76 characters.
QByteArray QuotedPrintable(const QByteArray& text);

// "Thu, 07 Mar 2024 21:05:09 -0500": English names, four-digit year, numeric zone.
QByteArray DateText(const QDateTime& when);

// A mailbox in display form ("\"N0CALL Net\" <n0call@example.org>") or a bare address.
struct CMailbox
{
    QString name;    // the text before "<", as written (empty for a bare address)
    QString address; // the text between "<" and ">", or the whole bare address
};
// Empty when "<" has no ">" after it, or more than one address is given.
std::optional<CMailbox> ParseMailbox(const QString& text);

// What keeps an address safe inside "<...>" of an SMTP command: no control characters, blanks or
// angle brackets, at most 254 characters, and ASCII before the "@" (international local parts need an
// extension this client does not speak). Empty text when it is; otherwise why not.
QString CheckAddress(const QString& address);
// The address as it goes into the envelope and the header: an international domain in its ASCII
// (IDNA) form. Empty when the domain has no such form.
QString WireAddress(const QString& address);

// Text of a stored message file: read up to its first zero byte, as UTF-8, or as Windows-1252 when it is
// not valid UTF-8 (files written on Windows). Raises CFileException when the file cannot be read.
QString ReadStoredMessage(const QString& path);
QString DecodeStoredMessage(const QByteArray& bytes);

} // namespace MailText
