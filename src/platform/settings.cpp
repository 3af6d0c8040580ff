#include "platform/settings.h"

#include <cmath>

#include <QSettings>

namespace SonivarACQ32::platform {

Seam<QString>& settings_file_seam()
{
    static Seam<QString> seam{QString()};
    return seam;
}

std::unique_ptr<QSettings> settings()
{
    const QString& file = settings_file_seam().get();
    if (file.isEmpty())
        return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Sonivar"), QStringLiteral("sonivar-acq32"));
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

std::optional<double> KeptValues::number(const QString& key, double low, double high)
{
    const QVariant v = settings_.value(key);
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const double x = v.toDouble(&ok);
    if (ok && std::isfinite(x) && x >= low && x <= high)
        return x;
    refuse(key, v.toString());
    return std::nullopt;
}

std::optional<int> KeptValues::index(const QString& key, int low, int high)
{
    const std::optional<double> x = number(key, low, high);
    if (x && *x != std::floor(*x)) {
        refuse(key, settings_.value(key).toString());
        return std::nullopt;
    }
    return x ? std::optional<int>(static_cast<int>(*x)) : std::nullopt;
}

void KeptValues::refuse(const QString& key, const QString& value)
{
    refused_ << QStringLiteral("%1 = %2").arg(key.section(QLatin1Char('/'), 1), value);
}

QString KeptValues::report() const
{
    return refused_.isEmpty() ? QString()
                              : QStringLiteral("Réglages gardés hors limites, remplacés par les valeurs par défaut : ") +
                                    refused_.join(QStringLiteral(", "));
}

} // namespace SonivarACQ32::platform
