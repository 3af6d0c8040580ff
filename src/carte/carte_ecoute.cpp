// The map window's listening: the point chosen on the map (else the
// maximum) heard from the time window's start, through the sound output.
#include "carte/carte_acoustique.h"

#include "carte/ecoute_point.h"
#include "stream/levels.h"

#include "app/format.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

namespace SonivarACQ32 {

namespace am = acoustic_map;

void CarteAcoustique::button_Ecouter_Click()
{
    if (ecoute_ && ecoute_->en_cours()) {
        ecoute_->arrete();
        button_Ecouter->setText(QStringLiteral("Écouter"));
        return;
    }
    if (!revue_.enregistrement)
        return;
    if (!point_ecoute && carte_valide)
        set_point_ecoute(derniere_carte.max_x, derniere_carte.max_y);
    if (!point_ecoute) {
        label_Ecoute->setText(QStringLiteral("Choisissez d'un clic le point à écouter sur la carte"));
        return;
    }
    if (!ecoute_) {
        ecoute_ = std::make_unique<EcoutePoint>();
        connect(ecoute_.get(), &EcoutePoint::fini, this,
                [this] { button_Ecouter->setText(QStringLiteral("Écouter")); });
    }
    const stream::Recording& r = *revue_.enregistrement;
    const am::Position point{point_ecoute->x(), point_ecoute->y(), numericUpDown_Distance->value()};
    QString why;
    if (!ecoute_->joue(r, geometrie, point, stream::sample_factors(etalonnage_, r.layout.is_float), instant, why)) {
        // The point stays said: it is what `sonivar-dat listen --at` needs.
        label_Ecoute->setText(QStringLiteral("Point écouté : x = %1 m, y = %2 m, z = %3 m\n%4")
                                  .arg(fmt::fr(point.x, 2), fmt::fr(point.y, 2), fmt::fr(point.z, 2), why));
        return;
    }
    button_Ecouter->setText(QStringLiteral("Arrêter l'écoute"));
    label_Ecoute->setText(QStringLiteral("Écoute du point x = %1 m, y = %2 m depuis %3 s")
                              .arg(fmt::fr(point.x, 2), fmt::fr(point.y, 2), fmt::fr(instant, 2)));
}

} // namespace SonivarACQ32
