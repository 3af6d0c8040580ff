#include "app/format.h"

#include <cmath>
#include <optional>

namespace SonivarACQ32::fmt {
namespace {
std::optional<QLocale> pinned_locale;
}

QLocale locale() { return pinned_locale ? *pinned_locale : QLocale::system(); }

void set_locale(const QLocale& pinned) { pinned_locale = pinned; }

void reset_locale() { pinned_locale.reset(); }

QString N(double value, int decimals)
{
    QLocale l = locale();
    l.setNumberOptions(l.numberOptions() & ~QLocale::OmitGroupSeparator);
    return l.toString(value, 'f', decimals);
}

QString G(std::int64_t value) { return QString::number(value); }

QString G(std::uint64_t value) { return QString::number(value); }

QString G(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<std::int64_t>(value));
    QLocale l = locale();
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    return l.toString(value, 'g', QLocale::FloatingPointShortest);
}

QString D(std::int64_t value, int width)
{
    QString digits = QString::number(value < 0 ? -value : value).rightJustified(width, u'0');
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

} // namespace SonivarACQ32::fmt
