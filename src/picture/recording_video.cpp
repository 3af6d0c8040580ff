#include "picture/recording_video.h"

#include "picture/camera_video.h"
#include "picture/video_file.h"

#include "map/spilled_maps.h"
#include "stream/french_text.h"
#include "stream/header_facts.h"
#include "stream/recording_slice.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

namespace SonivarACQ32::picture {

namespace am = acoustic_map;

namespace {

std::string number(double value, int decimals) { return stream::french_decimal(value, decimals); }

// Image k's map covers `span_s` from start + k / fps (the image's own time,
// or a longer stretch asked for, at least one block of the map), within the
// interval.
struct Frames {
    double start_s = 0.0, end_s = 0.0, span_s = 0.0;
    int fps = default_video_fps;
    int count = 0;
    double from(int k) const { return std::min(start_s + k / static_cast<double>(fps), end_s - span_s); }
};

std::string plan_frames(const stream::Recording& r, const RecordingVideoRequest& q, Frames& f, bool& bad_request)
{
    const stream::FrameRange whole = stream::frame_range(r, q.from_s, q.to_s);
    const double rate = stream::sampling_rate_hz(r.header);
    if (!(rate > 0.0) || q.fps < 1 || q.fps > max_video_fps)
        return bad_request = true, "cadence d'images ou fréquence d'échantillonnage invalide";
    const double span = std::max({1.0 / q.fps, am::block_frames / rate, q.job.window_s});
    f = {whole.first / rate, whole.end / rate, span, q.fps, 0};
    const double count = std::floor((f.end_s - f.start_s) * q.fps + 1e-9);
    if (f.span_s > f.end_s - f.start_s || count < 1.0)
        return "l'intervalle (" + number(f.end_s - f.start_s, 2) +
               " s) est plus court qu'une image de la vidéo ou que le temps d'une carte : aucune vidéo";
    if (count > max_video_frames)
        return bad_request = true, stream::french_grouped(count, 0) + " images (au plus " +
                                       stream::french_grouped(max_video_frames, 0) +
                                       ") : raccourcissez l'intervalle ou baissez la cadence";
    f.count = static_cast<int>(count);
    return {};
}

bool go_on(const VideoProgress& progress, const char* stage, int done, int total)
{
    return !progress || progress(stage, done, total);
}

std::string write_failure(const char* what)
{
    return std::string("écriture impossible ") + what + " : " + std::strerror(errno);
}

// Every image's map into `spilled`; the common scale's top and the levels'
// unit into `result`.
void map_frames(const stream::Recording& r, const RecordingVideoRequest& q, const Frames& f, am::SpilledMaps& spilled,
                const VideoProgress& progress, RecordingVideoResult& result)
{
    am::MapJob job = q.job;
    job.layout = r.layout;
    job.sample_rate = stream::sampling_rate_hz(r.header);
    job.window_s = f.span_s;
    job.settings.smoothing = 0.0;  // each image its own stretch
    job.zones.clear();
    am::LiveMapper mapper;
    mapper.set_job(job);
    if (result.error = mapper.job_problem(); !result.error.empty()) {
        result.bad_request = true;
        return;
    }
    for (int k = 0; k < f.count; ++k) {
        const double from = f.from(k);
        const am::MapOutcome out =
            mapper.compute_slice(stream::file_slice(r, stream::frame_range(r, from, from + f.span_s)), 1);
        if (!out.valid) {
            result.error = out.status;
            return;
        }
        result.top_db = q.top_db.value_or(k == 0 ? out.map.max_db : std::max<double>(result.top_db, out.map.max_db));
        result.unit = am::unit_label(out.map);
        if (!spilled.put(out.map)) {
            result.error = write_failure("des cartes en attente");
            return;
        }
        if (!go_on(progress, "Cartes", k + 1, f.count)) {
            result.stopped = true;
            return;
        }
    }
}

// The camera's recorded pictures and how they lie on the map's plane.
struct CameraPictures {
    CameraVideoReader reader;
    am::CameraGeometry geometry;
    std::optional<std::uint64_t> last_shown;
};

std::unique_ptr<CameraPictures> open_camera(const VideoBackdrop& under, std::string& error)
{
    if (under.camera_video.empty())
        return nullptr;
    auto pictures = std::make_unique<CameraPictures>();
    if (!pictures->reader.open(under.camera_video, error) || pictures->reader.index().frames.empty()) {
        error = "vidéo de la caméra illisible : " + (error.empty() ? std::string("aucune image") : error);
        return nullptr;
    }
    pictures->geometry = under.camera.value_or(pictures->reader.index().tags.geometry.value_or(am::CameraGeometry{}));
    return pictures;
}

// What lies under image k's map: the camera's picture taken at its instant,
// else the photo.
am::Backdrop backdrop_at(const VideoBackdrop& under, CameraPictures* camera, std::uint64_t dat_frame,
                         double distance_m, int& distinct)
{
    am::Backdrop b;
    b.opacity = under.opacity;
    b.threshold_db = under.threshold_db;
    if (camera == nullptr) {
        b.photo = under.photo;
        b.place = under.photo_place;
        return b;
    }
    const CameraVideoReader::Picture p = camera->reader.at(dat_frame);
    if (p.image.isNull())
        return b;
    distinct += camera->last_shown != p.frame ? 1 : 0;
    camera->last_shown = p.frame;
    b.photo = p.image;
    b.place = am::camera_placement(camera->geometry, distance_m, p.image.size());
    return b;
}

void encode_frames(const stream::Recording& r, const RecordingVideoRequest& q, const Frames& f,
                   const am::SpilledMaps& spilled, const std::string& path, const VideoProgress& progress,
                   RecordingVideoResult& result)
{
    std::unique_ptr<CameraPictures> camera = open_camera(q.under, result.error);
    if (!result.error.empty())
        return;
    const double rate = stream::sampling_rate_hz(r.header);
    VideoFile video;
    am::Map map;
    for (int k = 0; k < f.count; ++k) {
        const double from = f.from(k);
        if (!spilled.take(static_cast<std::size_t>(k), map)) {
            result.error = write_failure("des cartes en attente");
            return;
        }
        const auto at = static_cast<std::uint64_t>(std::llround(from * rate));
        const am::Backdrop under = backdrop_at(q.under, camera.get(), at, q.job.settings.grid.z, result.camera_pictures);
        const QImage picture = framed_map(map, q.job.settings, interval_text(from, from + f.span_s), result.top_db,
                                          q.bound, &under);
        if ((k == 0 && !video.open(path, picture.size(), f.fps, result.error)) || !video.add(picture, result.error))
            return;
        if (!go_on(progress, "Vidéo", k + 1, f.count)) {
            result.stopped = true;
            return;
        }
    }
    video.close(result.error);
}

} // namespace

RecordingVideoResult write_recording_video(const stream::Recording& r, const RecordingVideoRequest& q,
                                           const std::string& path, const VideoProgress& progress)
{
    RecordingVideoResult result;
    Frames f;
    if (result.error = plan_frames(r, q, f, result.bad_request); !result.error.empty())
        return result;
    am::SpilledMaps spilled;
    if (!spilled.open(q.spill_folder)) {
        result.error = write_failure("des cartes en attente");
        return result;
    }
    map_frames(r, q, f, spilled, progress, result);
    if (result.error.empty() && !result.stopped)
        encode_frames(r, q, f, spilled, path, progress, result);
    result.frames = f.count;
    result.span_s = f.span_s;
    return result;
}

QString interval_text(double from_s, double to_s)
{
    return QString::fromStdString("Intervalle : " + number(from_s, 2) + " s – " + number(to_s, 2) + " s");
}

QImage framed_map(const am::Map& map, const am::Settings& settings, const QString& window, std::optional<double> top_db,
                  QSize bound, const am::Backdrop* backdrop)
{
    am::MapView view;
    view.map = &map;
    view.grid = settings.grid;
    view.range_db = framed_range_db;
    view.backdrop = backdrop;
    if (top_db)
        view.top_db = static_cast<float>(*top_db);
    am::Annotations notes;
    notes.unit = QString::fromStdString(am::unit_label(map));
    notes.lines = am::map_facts(settings, map, window);
    if (bound.isValid()) {  // the largest cells whose framed picture fits
        const int side = std::max(1, map.side);
        const auto fits = [&](int cell) {
            const QSize framed = am::framed_layout(QSize(cell * side, cell * side), notes.lines.size()).size;
            return framed.width() <= bound.width() && framed.height() <= bound.height();
        };
        int cell = std::max(1, bound.width() / side);
        while (cell > 1 && !fits(cell))
            --cell;
        view.pixels = cell * side;
    }
    return am::framed_picture(am::draw_map(view), view, notes);
}

} // namespace SonivarACQ32::picture
