// The map window's settings kept between sessions: what it maps, how it
// draws it, and the geometry file in use.
#include "carte/carte_acoustique.h"
#include "platform/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSlider>

#include <QLabel>

#include <algorithm>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

// The window's spin boxes by settings key.
template <typename Visit>
void each_number(const CarteAcoustique& c, Visit visit)
{
    visit("carte/frequence", c.numericUpDown_Frequence);
    visit("carte/frequence_min", c.numericUpDown_Fmin);
    visit("carte/frequence_max", c.numericUpDown_Fmax);
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
    s.setValue(QStringLiteral("carte/ponderation_a"), checkBox_Ponderation_A->isChecked());
    const am::MethodKind kind = am::all_methods()[std::max(0, comboBox_Methode->currentIndex())];
    s.setValue(QStringLiteral("carte/methode"), QString::fromStdString(am::method_key(kind)));
    for (am::MethodKind k : am::all_methods())
        if (const am::ParameterRange* range = am::method_parameter(k))
            s.setValue(QStringLiteral("carte/parametre/") + QString::fromStdString(am::method_key(k)),
                       range->get(parametres));
    s.setValue(QStringLiteral("carte/geometrie"), fichier_geometrie);
    s.setValue(QStringLiteral("carte/image"), fichier_image_);
    s.setValue(QStringLiteral("carte/image_opacite"), trackBar_Opacite->value());
    sauve_zones(s);
    sauve_cameras(s);
}

// A kept value out of its control's range, or no number (a settings file
// edited by hand, or kept by another version), leaves the default in place
// and is named in the window's status line: never an impossible grid.
void CarteAcoustique::reprend_reglages(const QSettings& s)
{
    platform::KeptValues kept(s);
    for (am::MethodKind k : am::all_methods())
        if (const am::ParameterRange* range = am::method_parameter(k))
            if (const auto v = kept.number(QStringLiteral("carte/parametre/") + QString::fromStdString(am::method_key(k)),
                                           range->low, range->high))
                range->set(parametres, *v);
    const QString key = s.value(QStringLiteral("carte/methode")).toString();
    const auto kind = am::method_of_key(key.toStdString());
    const auto& methods = am::all_methods();
    if (kind)
        set_methode(static_cast<int>(std::find(methods.begin(), methods.end(), *kind) - methods.begin()));
    else if (!key.isEmpty())
        kept.refuse(QStringLiteral("carte/methode"), key);
    methode_changee();
    each_number(*this, [&](const char* key, QDoubleSpinBox* box) {
        if (const auto v = kept.number(QLatin1String(key), box->minimum(), box->maximum()))
            box->setValue(*v);
    });
    each_choice(*this, [&](const char* key, QComboBox* box) {
        if (const auto v = kept.index(QLatin1String(key), 0, box->count() - 1))
            box->setCurrentIndex(*v);
    });
    checkBox_Diagonale->setChecked(s.value(QStringLiteral("carte/diagonale"), false).toBool());
    checkBox_Moyenne->setChecked(s.value(QStringLiteral("carte/moyenne"), false).toBool());
    checkBox_Ponderation_A->setChecked(s.value(QStringLiteral("carte/ponderation_a"), false).toBool());
    if (const auto v = kept.index(QStringLiteral("carte/image_opacite"), trackBar_Opacite->minimum(),
                                  trackBar_Opacite->maximum()))
        trackBar_Opacite->setValue(*v);
    const QString geometry = s.value(QStringLiteral("carte/geometrie")).toString();
    if (!geometry.isEmpty())
        charge_geometrie(geometry);
    const QString photo = s.value(QStringLiteral("carte/image")).toString();
    if (!photo.isEmpty())
        charge_image(photo);
    reprend_zones(s);
    reprend_cameras(s);
    if (const QString report = kept.report(); !report.isEmpty())  // after any word of the files' loading
        label_Etat->setText(label_Etat->text().isEmpty() ? report : label_Etat->text() + QStringLiteral(" ; ") + report);
}

} // namespace SonivarACQ32
