#pragma once

#include <QDate>
#include <QString>

// The window caption's date: full weekday, full month name, two-digit day, four-digit year
// ("Monday, January 05, 2026"), in the user's locale.
QString FormatCaptionDate(const QDate& date);
