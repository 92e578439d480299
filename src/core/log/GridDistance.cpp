#include "core/log/GridDistance.h"

#include <algorithm>
#include <cmath>

namespace GridDistance {

std::optional<CPosition> Locate(const QString& grid)
{
    // Blanks around a grid are no part of it; case does not matter.
    const QString g = grid.trimmed().toUpper();
    if (g.size() != 4 && g.size() != 6)
        return std::nullopt;
    auto in = [&](int i, char low, char high) {
        return g[i] >= QLatin1Char(low) && g[i] <= QLatin1Char(high);
    };
    // Fields A-R, squares 0-9, subsquares A-X: anything else is a typing error, not a place.
    if (!in(0, 'A', 'R') || !in(1, 'A', 'R') || !in(2, '0', '9') || !in(3, '0', '9'))
        return std::nullopt;
    if (g.size() == 6 && (!in(4, 'A', 'X') || !in(5, 'A', 'X')))
        return std::nullopt;
    auto c = [&](int i) { return static_cast<double>(g[i].unicode()); };
    CPosition p;
    p.longitude = 20.0 * (c(0) - 'A') + 2.0 * (c(2) - '0') - 180.0;
    p.latitude = 10.0 * (c(1) - 'A') + (c(3) - '0') - 90.0;
    if (g.size() == 6) {
        p.longitude += (c(4) - 'A' + 0.5) / 12.0;
        p.latitude += (c(5) - 'A' + 0.5) / 24.0;
    } else {
        // The centre of the square.
        p.longitude += 1.0;
        p.latitude += 0.5;
    }
    return p;
}

std::optional<long long> Distance(const QString& from, const QString& to, const QString& unit, double pi)
{
    const auto a = Locate(from);
    const auto b = Locate(to);
    if (!a || !b)
        return std::nullopt;
    auto rad = [pi](double deg) { return deg / 180.0 * pi; };
    const double lonA = rad(a->longitude), latA = rad(a->latitude);
    const double lonB = rad(b->longitude), latB = rad(b->latitude);
    double x = std::cos(lonA - lonB) * std::cos(latA) * std::cos(latB) + std::sin(latA) * std::sin(latB);
    x = std::clamp(x, -1.0, 1.0);
    double angle = x == 0.0 ? pi / 2.0 : std::atan(std::fabs(std::sqrt(1.0 - x * x) / x));
    if (x < 0.0)
        angle = pi - angle;
    const double factor = unit == QLatin1String("kilometers") ? kKilometresPerMile : 1.0;
    return static_cast<long long>(std::trunc(angle * kEarthRadiusMiles * factor));
}

QString WithOneComma(long long value)
{
    QString digits = QString::number(value);
    if (digits.size() > 3)
        digits.insert(digits.size() - 3, QLatin1Char(','));
    return digits;
}

QString DistanceText(const QString& from, const QString& to, const QString& unit, double pi)
{
    const auto d = Distance(from, to, unit, pi);
    if (!d)
        return {};
    return WithOneComma(*d) + QLatin1Char(' ') + unit;
}

QString FormText(const QString& myGrid, const QString& stationGrid)
{
    const QString text = DistanceText(myGrid, stationGrid, QStringLiteral("miles"));
    return QStringLiteral("Distance: %1").arg(text.isEmpty() ? QStringLiteral("Unknown") : text);
}

} // namespace GridDistance
