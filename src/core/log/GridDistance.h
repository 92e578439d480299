#pragma once

#include <QString>
#include <optional>

// Great-circle distance between two Maidenhead grid locators: six characters (field letters A-R, square
// digits, subsquare letters A-X, either case) give the centre of the subsquare, four the centre of the
// square; anything else is no locator.
namespace GridDistance {

inline constexpr double kEarthRadiusMiles = 3964.0;
inline constexpr double kKilometresPerMile = 1.609;
inline constexpr double kPi = 3.141592653589793;
// The callbook look-up has always used this shorter pi; its distances keep it.
inline constexpr double kCallbookPi = 3.1415926535;

struct CPosition
{
    double longitude;
    double latitude;
};

// Centre of the subsquare (or square); nullopt for text that is no locator.
std::optional<CPosition> Locate(const QString& grid);
// Whole distance in the unit ("kilometers" gives kilometres; any other text, miles), truncated.
std::optional<long long> Distance(const QString& from, const QString& to, const QString& unit,
                                  double pi = kPi);
// "760 miles", "1,223 kilometers": one comma before the last three digits when there are more than
// three (and only one). Empty when either grid is no locator.
QString DistanceText(const QString& from, const QString& to, const QString& unit, double pi = kPi);
QString WithOneComma(long long value);

// What the check-in form shows: "Distance: 760 miles" or "Distance: Unknown".
QString FormText(const QString& myGrid, const QString& stationGrid);

} // namespace GridDistance
