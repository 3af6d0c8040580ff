// The map window's listening: the point chosen on the map (else the
// maximum) heard from the time window's start, through the sound output, or
// saved as a WAV.
#include "carte/carte_acoustique.h"

#include "carte/ecoute_point.h"
#include "carte/ecoute_wav.h"
#include "stream/levels.h"

#include "app/format.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace SonivarACQ32 {

namespace am = acoustic_map;

std::optional<am::Position> CarteAcoustique::point_a_ecouter()
{
    if (!point_ecoute && carte_valide)
        set_point_ecoute(derniere_carte.max_x, derniere_carte.max_y);
    if (!point_ecoute) {
        label_Ecoute->setText(QStringLiteral("Choisissez d'un clic le point à écouter sur la carte"));
        return std::nullopt;
    }
    return am::Position{point_ecoute->x(), point_ecoute->y(), numericUpDown_Distance->value()};
}

void CarteAcoustique::button_Ecouter_Click()
{
    if (ecoute_ && ecoute_->en_cours()) {
        ecoute_->arrete();
        button_Ecouter->setText(QStringLiteral("Écouter"));
        return;
    }
    if (!revue_.enregistrement)
        return;
    const std::optional<am::Position> point = point_a_ecouter();
    if (!point)
        return;
    if (!ecoute_) {
        ecoute_ = std::make_unique<EcoutePoint>();
        connect(ecoute_.get(), &EcoutePoint::fini, this,
                [this] { button_Ecouter->setText(QStringLiteral("Écouter")); });
    }
    const stream::Recording& r = *revue_.enregistrement;
    QString why;
    if (!ecoute_->joue(r, geometrie, *point, stream::sample_factors(etalonnage_, r.layout.is_float), instant, why)) {
        // The point stays said: it is what `sonivar-dat listen --at` needs,
        // and what "Enregistrer l'écoute…" writes.
        label_Ecoute->setText(QStringLiteral("Point écouté : x = %1 m, y = %2 m, z = %3 m\n%4")
                                  .arg(fmt::fr(point->x, 2), fmt::fr(point->y, 2), fmt::fr(point->z, 2), why));
        return;
    }
    button_Ecouter->setText(QStringLiteral("Arrêter l'écoute"));
    label_Ecoute->setText(QStringLiteral("Écoute du point x = %1 m, y = %2 m depuis %3 s")
                              .arg(fmt::fr(point->x, 2), fmt::fr(point->y, 2), fmt::fr(instant, 2)));
}

void CarteAcoustique::button_Enregistrer_Ecoute_Click()
{
    if (!revue_.enregistrement || !point_a_ecouter())
        return;
    propose_fichier(QStringLiteral("Enregistrer l'écoute"), QStringLiteral("Sons WAV (*.wav)"),
                    platform::FileKind::exports, true, [this](const QString& path) { enregistre_ecoute(path); });
}

bool CarteAcoustique::enregistre_ecoute(const QString& wav_path)
{
    const std::optional<am::Position> point = revue_.enregistrement ? point_a_ecouter() : std::nullopt;
    if (!point)
        return false;
    if (!ecoute_wav_) {
        ecoute_wav_ = std::make_unique<EcouteWav>();
        connect(ecoute_wav_.get(), &EcouteWav::avance, this, [this](double fraction) {
            label_Ecoute->setText(QStringLiteral("Enregistrement de l'écoute : %1 %").arg(fmt::fr(100.0 * fraction, 0)));
        });
    }
    const stream::Recording& r = *revue_.enregistrement;
    const QString name = QFileInfo(wav_path).fileName();
    disconnect(ecoute_wav_.get(), &EcouteWav::fini, this, nullptr);
    connect(ecoute_wav_.get(), &EcouteWav::fini, this, [this, name, p = *point](const QString& why) {
        label_Ecoute->setText(why.isEmpty() ? QStringLiteral("Écoute enregistrée : %1 (x = %2 m, y = %3 m, z = %4 m)")
                                                  .arg(name, fmt::fr(p.x, 2), fmt::fr(p.y, 2), fmt::fr(p.z, 2))
                                            : QStringLiteral("Écoute non enregistrée (%1) : %2").arg(name, why));
    });
    EcouteDemandee demande{r, geometrie, *point, stream::sample_factors(etalonnage_, r.layout.is_float),
                           stream::frame_range(r, instant, -1.0)};
    QString why;
    if (!ecoute_wav_->ecrit(wav_path, std::move(demande), fichiers_lus(), why)) {
        label_Ecoute->setText(QStringLiteral("Écoute non enregistrée (%1) : %2").arg(name, why));
        return false;
    }
    label_Ecoute->setText(QStringLiteral("Enregistrement de l'écoute : %1").arg(name));
    return true;
}

} // namespace SonivarACQ32
