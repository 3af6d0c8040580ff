// The map window's maps: the beamformer configured for the acquired
// microphones, one map per packet, and its picture.
#include "carte/carte_acoustique.h"

#include "app/format.h"
#include "camera/live_camera.h"
#include "picture/colour_map.h"
#include "picture/map_image.h"
#include "picture/map_picture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

constexpr int scale_width = 20;

QString method_text(const am::Settings& s)
{
    return QString::fromStdString(am::method_caption(s.method, s.parameters, am::french_number));
}

} // namespace

// A run that streams has the map; a recording under review comes back
// once it ends.
void CarteAcoustique::capture(feed::Capture state, const feed::RunFacts& run)
{
    en_direct_ = state != feed::Capture::stopped;
    montre_instant();
    place_fond();  // live, the camera; in review, the recorded pictures
    if (en_direct_ && revue_.lecture)
        lecture_pause();
    if (revue_.enregistrement && !en_direct_) {
        relance_revue();
        return;
    }
    const bool new_run = run.serial != run_.serial || run.sample_rate != run_.sample_rate ||
                         run.layout.micros != run_.layout.micros;
    if (run.serial != run_.serial)
        sautes_acquisition_ = 0;
    run_ = run;
    montre_sautes();
    if (new_run)
        reglages_changes();
    if (run.serial != 0)
        label_Etat->setText(capture_text(state));
    if (en_direct_ && revue_.enregistrement)
        label_Etat->setText(capture_text(state) + QStringLiteral(" : la relecture attend la fin de l'acquisition"));
}

void CarteAcoustique::piece(const feed::Piece& p)
{
    worker_->push(p.data, p.len, p.stream_position, p.run);
}

void CarteAcoustique::recoit_carte(const am::MapOutcome& outcome, const CarteDessinee& dessinee)
{
    cartes += outcome.mapped;
    paquets_sautes += outcome.skipped;
    if (en_direct_)
        sautes_acquisition_ += outcome.skipped;
    if (outcome.valid) {
        derniere_carte = outcome.map;
        moyenne_s_ += outcome.new_seconds;
        montre_moyenne();
        carte_dessinee_ = dessinee;
        reglages_carte = outcome.settings;
        maximum = QPointF(derniere_carte.max_x, derniere_carte.max_y);
        carte_valide = true;
        fin_carte = outcome.stream_end;
        const std::size_t frame = run_.layout.frame_bytes();
        instant_carte = en_revue() && frame > 0 && run_.serial == revue_.faits.serial
                            ? static_cast<double>(outcome.stream_position / frame) / run_.sample_rate
                            : -1.0;
    } else if (!outcome.status.empty()) {
        carte_valide = false;
        label_Etat->setText(QString::fromStdString(outcome.status));
    }
    montre_sautes();
    dessine();
    montre_zones(outcome);
    if (outcome.valid)
        emit carte_montree();
}

// How often the maps could not keep up with this run's stream; nothing
// when they always did, or when a recording is shown.
void CarteAcoustique::montre_sautes()
{
    const bool shown = sautes_acquisition_ > 0 && !(en_revue() && !en_direct_);
    label_Sautes->setText(shown ? QStringLiteral("Calcul trop lent pour suivre le flux : %1 cartes sautées "
                                                 "pendant cette acquisition")
                                      .arg(fmt::fr(static_cast<double>(sautes_acquisition_), 0))
                                : QString());
}

// The map as the window shows it, and as its saved picture holds it.
am::MapView CarteAcoustique::vue() const
{
    am::MapView view;
    view.map = &derniere_carte;
    view.grid = reglages_carte.grid;
    view.range_db = comboBox_Dynamique->currentData().toInt();
    if (comboBox_Echelle->currentIndex() == 1)
        view.top_db = static_cast<float>(numericUpDown_Haut->value());
    view.microphones = am::placed_microphones(geometrie, run_.layout.micros);
    view.listening = point_ecoute;
    if (fond_.under_map())
        view.backdrop = &fond_;
    view.caption = caption_of(reglages_carte, relecture_montree());
    view.zones = zones_montrees();
    view.pixels = pixels_carte();
    return view;
}

// The map takes the room the window gives it, square.
int CarteAcoustique::pixels_carte() const
{
    return std::max(am::view_pixels, std::min(pictureBox_Carte->width(), pictureBox_Carte->height()));
}

void CarteAcoustique::dessine()
{
    pose_camera();
    if (!carte_valide) {
        if (fond_.camera)
            camera_->composer().set_map({});  // the pictures alone
        else
            pictureBox_Carte->clear();
        label_Maximum->clear();
        return;
    }
    const am::Map& map = derniere_carte;
    const am::MapView view = vue();
    // The worker's picture when it shows this view; otherwise drawn here,
    // and the view published for the maps to come.
    const VueCarte now = VueCarte::of(view, relecture_montree());
    if (carte_dessinee_.picture.isNull() || !carte_dessinee_.vue.same_as(now)) {
        carte_dessinee_ = {am::draw_map(view), now};
        peintre_->publie(now);
    }
    if (fond_.camera)  // laid over the camera's next picture
        camera_->composer().set_map(carte_dessinee_.picture);
    else
        pictureBox_Carte->setPixmap(QPixmap::fromImage(carte_dessinee_.picture));
    unite = QString::fromStdString(am::unit_label(map));
    maximum_db = map.max_db;
    label_Maximum->setText(
        stream::is_silence(map.max_db, map.unit)
            ? QStringLiteral("Maximum : silence (%1)").arg(method_text(reglages_carte))
            : QStringLiteral("Maximum : x = %1 m, y = %2 m, %3 %4 (%5)")
                  .arg(fmt::fr(map.max_x, 2), fmt::fr(map.max_y, 2), fmt::fr(map.max_db, 1), unite,
                       method_text(reglages_carte)));
    const float top = am::scale_top(view);
    label_Echelle_Haut->setText(QStringLiteral("%1 %2").arg(fmt::fr(top, 1), unite));
    label_Echelle_Bas->setText(QStringLiteral("%1 %2").arg(fmt::fr(top - am::shown_range_db(view), 1), unite));
}

// The scale: the colour map from index 127 at the top to 0 at the bottom.
void CarteAcoustique::dessine_echelle()
{
    const colours::ColourMap palette = colours::colour_map();
    QImage bar(1, colours::nb_levels, QImage::Format_RGB32);
    for (int i = 0; i < colours::nb_levels; ++i)
        bar.setPixel(0, colours::nb_levels - 1 - i, qRgb(palette.red[i], palette.green[i], palette.blue[i]));
    pictureBox_Echelle->setPixmap(QPixmap::fromImage(bar.scaled(scale_width, 2 * colours::nb_levels)));
}

} // namespace SonivarACQ32
