#pragma once

#include <QString>

// Text rules of the check-in form.
namespace LogText {

// Capitalised words: a letter after a blank, "(", ".", a digit 1-9 or "@" (and the first letter) becomes
// upper case, every other letter lower case; only ASCII letters change. "JOHN Q. PUBLIC" -> "John Q. Public",
// "10TH ST" -> "10th St", "1ST AVE" -> "1St Ave".
QString CamelCase(const QString& text);
// " Sc ", " Ga " and " Nc " (state abbreviations between blanks) back to upper case.
QString FixStateAbbreviations(const QString& text);
// Whole call signs, without regard to case: W4AB and W4ABC are different stations.
bool SameCallSign(const QString& a, const QString& b);

} // namespace LogText
