// The map window's video export: the recording under review, its maps
// image by image with the window's settings, over the camera's pictures
// recorded with it (or the photo, or nothing), as an MP4; the same video
// the toolkit writes.
#include "carte/carte_acoustique.h"
#include "carte/video_export.h"

#include "app/format.h"
#include "picture/camera_video.h"
#include "stream/saved_file.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace SonivarACQ32 {

namespace am = acoustic_map;

void CarteAcoustique::button_Exporter_Video_Click()
{
    if (export_video_->running()) {
        export_video_->stop();
        return;
    }
    propose_fichier(QStringLiteral("Exporter la vidéo de la carte"), QStringLiteral("Vidéos MP4 (*.mp4)"),
                    platform::FileKind::exports, true, [this](const QString& path) { exporte_video(path); });
}

bool CarteAcoustique::exporte_video(const QString& mp4_path)
{
    std::vector<stream::FileIdentity> reads = fichiers_lus();
    const std::string camera_video = revue_.enregistrement ? picture::camera_video_path(revue_.enregistrement->dat_path)
                                                           : std::string();
    if (const auto identity = video_revue_ != nullptr ? stream::identity_of(camera_video) : std::nullopt)
        reads.push_back(*identity);
    QString why = !revue_.enregistrement ? QStringLiteral("aucun enregistrement ouvert")
                  : export_video_->running() ? QStringLiteral("un export est en cours")
                                             : stream::save_refusal(mp4_path, reads);
    if (why.isEmpty()) {
        picture::RecordingVideoRequest request;
        request.job = travail();
        request.job.window_s = numericUpDown_Fenetre->value();
        request.spill_folder = QFileInfo(stream::save_target(mp4_path)).absolutePath().toStdString();
        request.under.opacity = fond_.opacity;
        request.under.threshold_db = fond_.threshold_db;
        if (video_revue_ != nullptr) {
            request.under.camera_video = camera_video;
            request.under.camera = geometrie_video();
        } else if (!photo_fixe_.isNull()) {
            request.under.photo = photo_fixe_;
            request.under.photo_place.width_m = numericUpDown_Largeur_Image->value();
            request.under.photo_place.height_m = numericUpDown_Hauteur_Image->value();
        }
        export_video_->start(*revue_.enregistrement, request, stream::save_target(mp4_path));
        label_Video->setText(QStringLiteral("Export de la vidéo : ") + QFileInfo(mp4_path).fileName());
    } else {
        label_Video->setText(QStringLiteral("Vidéo non exportée (%1) : %2").arg(QFileInfo(mp4_path).fileName(), why));
    }
    montre_export();
    return why.isEmpty();
}

// The progress line: the maps first, then the images encoded.
void CarteAcoustique::export_avance(const QString& stage, int done, int total)
{
    const QString what = stage == QStringLiteral("Cartes") ? QStringLiteral("cartes") : QStringLiteral("images");
    label_Video->setText(QStringLiteral("Export de la vidéo : %1 %2 / %3 (%4 %)")
                             .arg(what, fmt::fr(done, 0), fmt::fr(total, 0), fmt::fr(100.0 * done / total, 0)));
}

void CarteAcoustique::export_fini(const QString& text)
{
    label_Video->setText(text);
    montre_export();
}

// While an export runs its button stops it; else it exports the recording
// under review.
void CarteAcoustique::montre_export()
{
    if (button_Exporter_Video == nullptr)
        return;  // the review's controls are made before the picture's
    const bool running = export_video_->running();
    button_Exporter_Video->setText(running ? QStringLiteral("Arrêter l'export") : QStringLiteral("Exporter la vidéo…"));
    button_Exporter_Video->setEnabled(running || (revue_.enregistrement.has_value() && !en_direct_));
}

} // namespace SonivarACQ32
