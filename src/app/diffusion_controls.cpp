// "Diffuser le flux" in the advanced settings: the run's stream as a
// PipeWire source while it streams, kept on or off between sessions.
#include "app/principale.h"

#include "diffusion/diffusion.h"
#include "platform/settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QSettings>

namespace SonivarACQ32 {

namespace {

constexpr const char* diffusion_key = "diffusion/actif";
constexpr const char* pascal_key = "diffusion/pascal";

} // namespace

// Under the data type and the counter, in the advanced group's last row.
void Principale::creation_diffusion()
{
    auto box = [this](const char* name, const QString& text, QRect place, const QString& tip) {
        auto* made = new QCheckBox(text, groupBox_Test);
        made->setObjectName(QLatin1String(name));
        made->setGeometry(place);
        made->setFont(checkBox_Status->font());
        made->setToolTip(tip);
        return made;
    };
    checkBox_Diffusion = box("checkBox_Diffusion", QStringLiteral("Diffuser le flux"), QRect(10, 246, 170, 26),
                             QStringLiteral("Pendant l'acquisition, le flux est une source PipeWire "
                                            "« Sonivar 32 » pour les autres programmes"));
    checkBox_Pascal = box("checkBox_Pascal", QStringLiteral("en pascal"), QRect(188, 246, 150, 26),
                          QStringLiteral("Le flux diffusé en pascal avec l'étalonnage en service "
                                         "(sinon en fractions de la pleine échelle)"));
    diffusion = std::make_unique<diffusion::Diffusion>(
        &own.feed, [](const QString& text) { info(text); },
        [this] { return diffusion::DiffusionSettings{checkBox_Pascal->isChecked(), own.etalonnage}; });
    const auto kept = platform::settings();
    checkBox_Diffusion->setChecked(kept->value(QLatin1String(diffusion_key)).toBool());
    checkBox_Pascal->setChecked(kept->value(QLatin1String(pascal_key)).toBool());
    diffusion->set_active(checkBox_Diffusion->isChecked());
    connect(checkBox_Diffusion, &QCheckBox::toggled, this, [this] { checkBox_Diffusion_CheckedChanged(); });
    connect(checkBox_Pascal, &QCheckBox::toggled, this,
            [](bool on) { platform::settings()->setValue(QLatin1String(pascal_key), on); });
}

void Principale::checkBox_Diffusion_CheckedChanged()
{
    const bool on = checkBox_Diffusion->isChecked();
    platform::settings()->setValue(QLatin1String(diffusion_key), on);
    diffusion->set_active(on);
}

} // namespace SonivarACQ32
