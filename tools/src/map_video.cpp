#include "map_video.h"

#include "cli.h"
#include "map_png.h"
#include "options.h"
#include "output_file.h"
#include "picture_context.h"
#include "progress.h"

#include "picture/camera_video.h"
#include "picture/scene_photo.h"
#include "picture/video_file.h"

#include <QFileInfo>

#include <cmath>
#include <filesystem>
#include <memory>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;
namespace pic = SonivarACQ32::picture;

const char* const video_usage =
    "  --video FICHIER     vidéo MP4 (H.264) de la carte au fil de l'intervalle :\n"
    "                      une carte par image (sur la durée de l'image, au moins\n"
    "                      un bloc de 1024 trames), encadrée comme --png, sur une\n"
    "                      échelle commune (--top, ou le maximum de toutes), sur\n"
    "                      les images de la caméra enregistrées à côté (NOM.mkv)\n"
    "  --fps N             images par seconde de la vidéo (1 à 60, défaut 25)\n"
    "  --camera C,X,Y,M,R  la caméra : champ horizontal (°), position x, y (mm),\n"
    "                      miroir (0 ou 1), rotation (0, 90, 180, 270) ; défaut :\n"
    "                      telle que la vidéo de la caméra la donne\n"
    "  --no-camera         sans les images de la caméra\n"
    "  --photo FICHIER     sans images de caméra : une photo de la scène sous les\n"
    "  --photo-size LxH    cartes, de L x H mètres sur le plan (défaut 2x1,5)\n";

namespace {

std::optional<QSizeF> photo_size(const std::string& text)
{
    const std::size_t x = text.find('x');
    const auto w = x == std::string::npos ? std::nullopt : number(text.substr(0, x));
    const auto h = x == std::string::npos ? std::nullopt : number(text.substr(x + 1));
    if (!w || !h || !(*w >= 0.05 && *w <= 100.0) || !(*h >= 0.05 && *h <= 100.0))
        return std::nullopt;
    return QSizeF(*w, *h);
}

} // namespace

std::optional<std::string> take_video_option(VideoOptions& v, const std::string& name, const std::string& value)
{
    const auto invalid = [&](const std::string& range) { return "valeur invalide pour " + name + " : " + value + range; };
    if (name == "--video") {
        v.path = value;
    } else if (name == "--fps") {
        const auto n = number(value);
        if (!n || *n != std::floor(*n) || *n < 1.0 || *n > pic::max_video_fps)
            return invalid(" (entier de 1 à " + std::to_string(pic::max_video_fps) + ")");
        v.fps = static_cast<int>(*n);
    } else if (name == "--no-camera") {
        v.no_camera = true;
    } else if (name == "--camera") {
        v.camera = am::camera_from_text(QString::fromStdString(value).replace(QLatin1Char(','), QLatin1Char(';')));
        if (!v.camera)
            return invalid(" (CHAMP,X,Y,MIROIR,ROTATION : champ de 10 à 170°, x et y de -2000 à 2000 mm, "
                           "miroir 0 ou 1, rotation 0, 90, 180 ou 270)");
    } else if (name == "--photo") {
        v.photo = value;
    } else if (name == "--photo-size") {
        v.photo_size = photo_size(value);
        if (!v.photo_size)
            return invalid(" (LARGEURxHAUTEUR en mètres, de 0,05 à 100)");
    } else {
        return std::nullopt;
    }
    return std::string();
}

std::string video_options_problem(const VideoOptions& v)
{
    if (v.path.empty() && (v.fps || v.camera || v.no_camera || !v.photo.empty() || v.photo_size))
        return "--fps, --camera, --no-camera, --photo et --photo-size ne vont qu'avec --video";
    if (v.camera && v.no_camera)
        return "--camera ne va pas avec --no-camera";
    if (v.photo_size && v.photo.empty())
        return "--photo-size ne va qu'avec --photo";
    return {};
}

namespace {

// What lies under the maps: the camera's recorded pictures unless left
// out, else the photo; "" or why the photo or the video cannot be used.
std::string backdrop_of(const VideoOptions& v, const Recording& r, pic::VideoBackdrop& under)
{
    const std::string recorded = pic::camera_video_path(r.dat_path);
    if (!v.no_camera && std::filesystem::exists(recorded)) {
        if (same_destination(recorded, v.path))
            return "la vidéo " + v.path + " remplacerait celle de la caméra qu'elle reprend";
        under.camera_video = recorded;
        under.camera = v.camera;
        return {};
    }
    if (v.camera)
        return "--camera : pas de vidéo de la caméra à côté de l'enregistrement (" + recorded + ")";
    if (v.photo.empty())
        return {};
    ensure_picture_context();
    QString why;
    under.photo = pic::read_scene_photo(QString::fromStdString(v.photo), why);
    if (under.photo.isNull())
        return "photo " + v.photo + " illisible : " + why.toStdString();
    under.photo_place.width_m = v.photo_size.value_or(QSizeF(2.0, 1.5)).width();
    under.photo_place.height_m = v.photo_size.value_or(QSizeF(2.0, 1.5)).height();
    return {};
}

std::string backdrop_words(const pic::VideoBackdrop& under, const VideoOptions& v, int camera_pictures)
{
    if (!under.camera_video.empty())
        return " ; sous les cartes : " + grouped(static_cast<std::uint64_t>(camera_pictures)) +
               " images de la caméra (" + QFileInfo(QString::fromStdString(under.camera_video)).fileName().toStdString() + ")";
    return under.photo.isNull() ? std::string() : " ; sous les cartes : la photo " + v.photo;
}

} // namespace

int map_video(const VideoRequest& q, const Recording& r, const am::Geometry& geometry, std::ostream& out,
              std::ostream& err, std::FILE* terminal)
{
    pic::RecordingVideoRequest request;
    request.job.settings = q.map.settings;
    request.job.geometry = geometry;
    request.job.calibration = q.map.calibration;
    request.from_s = q.map.from_s;
    request.to_s = q.map.to_s;
    request.fps = q.video.fps.value_or(default_video_fps);
    request.top_db = q.top_db;
    request.bound = q.size;
    request.spill_folder = std::filesystem::absolute(q.video.path).parent_path().string();
    if (const std::string refused = backdrop_of(q.video, r, request.under); !refused.empty()) {
        err << "sonivar-dat : " << refused << "\n";
        return exit_usage;
    }
    OutputFile file;
    std::string e;
    if (!file.create(q.video.path, e)) {
        err << "sonivar-dat : " << e << "\n";
        return exit_damaged;
    }
    ensure_picture_context();
    std::unique_ptr<Progress> progress;
    const pic::RecordingVideoResult result = pic::write_recording_video(
        r, request, file.temp_path(), [&](const char* stage, int done, int total) {
            if (progress == nullptr || done == 1) {
                progress.reset();  // the stage before ends its line first
                progress = std::make_unique<Progress>(terminal, stage, static_cast<std::uint64_t>(total));
            }
            progress->update(static_cast<std::uint64_t>(done));
            return true;
        });
    progress.reset();
    if (!result.error.empty() || !file.commit(e)) {
        err << "sonivar-dat : vidéo " << q.video.path << " : " << (result.error.empty() ? e : result.error) << "\n";
        return result.bad_request ? exit_usage : exit_damaged;
    }
    out << "Vidéo : " << q.video.path << ", " << grouped(static_cast<std::uint64_t>(result.frames)) << " images à "
        << request.fps << " images/s (H.264), chacune la carte de " << decimal(result.span_s, 3)
        << " s ; échelle commune : haut " << decimal(result.top_db, 1) << " " << result.unit << ", dynamique "
        << png_range_db << " dB" << backdrop_words(request.under, q.video, result.camera_pictures) << "\n";
    return exit_ok;
}

} // namespace sonivar_dat
