#include "platform/settings.h"

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

} // namespace SonivarACQ32::platform
