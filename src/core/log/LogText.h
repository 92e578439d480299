#pragma once

#include <QString>

// Text rules of the check-in form.
namespace LogText {

// Capitalised words: a letter after a blank, "(", ".", a digit 1-9 or "@" (and the first letter) becomes
// upper case, every other letter lower case; only ASCII letters change. "JOHN Q. PUBLIC" -> "John Q. Public",
// "10TH ST" -> "10th St", "1ST AVE" -> "1St Ave".
QString CamelCase(const QString& text);
// State codes back to upper case: " Sc ", " Ga " and " Nc " wherever they stand between blanks, and every
// two-letter code of a US state or territory that stands as the state of an address: right after a comma,
// before a ZIP code (5 digits or ZIP+4) or at the end ("Springfield, Tn" -> "Springfield, TN",
// "Nashville Tn 37201" -> "Nashville TN 37201"; "Lake In The Hills" keeps its "In").
QString FixStateAbbreviations(const QString& text);
// Whole call signs, without regard to case: W4AB and W4ABC are different stations.
bool SameCallSign(const QString& a, const QString& b);

} // namespace LogText
