// The map window's settings kept between sessions: what it maps, how it
// draws it, and the geometry file in use.
#include "carte/carte_acoustique.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSlider>

#include <algorithm>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

// The window's spin boxes by settings key.
template <typename Visit>
void each_number(const CarteAcoustique& c, Visit visit)
{
    visit("carte/frequence", c.numericUpDown_Frequence);
    visit("carte/distance", c.numericUpDown_Distance);
    visit("carte/etendue", c.numericUpDown_Etendue);
    visit("carte/pas", c.numericUpDown_Pas);
    visit("carte/haut", c.numericUpDown_Haut);
    visit("carte/fenetre", c.numericUpDown_Fenetre);
    visit("carte/image_largeur", c.numericUpDown_Largeur_Image);
    visit("carte/image_hauteur", c.numericUpDown_Hauteur_Image);
    visit("carte/image_seuil", c.numericUpDown_Seuil);
}

template <typename Visit>
void each_choice(const CarteAcoustique& c, Visit visit)
{
    visit("carte/bande", c.comboBox_Bande);
    visit("carte/dynamique", c.comboBox_Dynamique);
    visit("carte/echelle", c.comboBox_Echelle);
}

} // namespace

void CarteAcoustique::sauve_reglages(QSettings& s) const
{
    each_number(*this, [&](const char* key, const QDoubleSpinBox* box) { s.setValue(QLatin1String(key), box->value()); });
    each_choice(*this, [&](const char* key, const QComboBox* box) { s.setValue(QLatin1String(key), box->currentIndex()); });
    s.setValue(QStringLiteral("carte/diagonale"), checkBox_Diagonale->isChecked());
    s.setValue(QStringLiteral("carte/moyenne"), checkBox_Moyenne->isChecked());
    const am::MethodKind kind = am::all_methods()[std::max(0, comboBox_Methode->currentIndex())];
    s.setValue(QStringLiteral("carte/methode"), QString::fromStdString(am::method_key(kind)));
    for (am::MethodKind k : am::all_methods())
        if (const am::ParameterRange* range = am::method_parameter(k))
            s.setValue(QStringLiteral("carte/parametre/") + QString::fromStdString(am::method_key(k)),
                       range->get(parametres));
    s.setValue(QStringLiteral("carte/geometrie"), fichier_geometrie);
    s.setValue(QStringLiteral("carte/image"), fichier_image_);
    s.setValue(QStringLiteral("carte/image_opacite"), trackBar_Opacite->value());
}

// A value out of a control's range is brought into it by the control.
void CarteAcoustique::reprend_reglages(const QSettings& s)
{
    for (am::MethodKind k : am::all_methods())
        if (const am::ParameterRange* range = am::method_parameter(k)) {
            const QVariant v = s.value(QStringLiteral("carte/parametre/") + QString::fromStdString(am::method_key(k)));
            if (v.isValid())
                range->set(parametres, std::clamp(v.toDouble(), range->low, range->high));
        }
    const auto kind = am::method_of_key(s.value(QStringLiteral("carte/methode")).toString().toStdString());
    const auto& methods = am::all_methods();
    if (kind)
        set_methode(static_cast<int>(std::find(methods.begin(), methods.end(), *kind) - methods.begin()));
    methode_changee();
    each_number(*this, [&](const char* key, QDoubleSpinBox* box) {
        if (const QVariant v = s.value(QLatin1String(key)); v.isValid())
            box->setValue(v.toDouble());
    });
    each_choice(*this, [&](const char* key, QComboBox* box) {
        if (const QVariant v = s.value(QLatin1String(key)); v.isValid() && v.toInt() >= 0 && v.toInt() < box->count())
            box->setCurrentIndex(v.toInt());
    });
    checkBox_Diagonale->setChecked(s.value(QStringLiteral("carte/diagonale"), false).toBool());
    checkBox_Moyenne->setChecked(s.value(QStringLiteral("carte/moyenne"), false).toBool());
    const QString geometry = s.value(QStringLiteral("carte/geometrie")).toString();
    if (!geometry.isEmpty())
        charge_geometrie(geometry);
    trackBar_Opacite->setValue(s.value(QStringLiteral("carte/image_opacite"), trackBar_Opacite->value()).toInt());
    const QString photo = s.value(QStringLiteral("carte/image")).toString();
    if (!photo.isEmpty())
        charge_image(photo);
}

} // namespace SonivarACQ32
