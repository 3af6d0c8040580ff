#include "app/format.h"

#include <cmath>

namespace SonivarACQ32::fmt {

platform::Seam<LocaleSource>& locale_seam()
{
    static platform::Seam<LocaleSource> seam(&QLocale::system);
    return seam;
}

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

QLocale french_locale() { return QLocale(QLocale::French, QLocale::France); }

QString fr(double value, int decimals) { return french_locale().toString(value, 'f', decimals); }

QString D(std::int64_t value, int width)
{
    QString digits = QString::number(value < 0 ? -value : value).rightJustified(width, u'0');
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

} // namespace SonivarACQ32::fmt
