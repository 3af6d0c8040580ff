#pragma once
// A recording's maps as a video: one map per image (each over the image's
// own stretch, or a longer one asked for, at least one block of the map),
// framed as the pictures are (scale, unit, method, band, time), all on one
// scale, over the camera's pictures recorded with the run (the picture
// taken at each image's instant, laid as the camera sat), over a photo of
// the scene, or over nothing. Shared by the map window's export and the
// toolkit's, so that the two give the same video.
#include "map/live_mapper.h"
#include "picture/map_picture.h"
#include "stream/recording.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <optional>
#include <string>

namespace SonivarACQ32::picture {

constexpr int default_video_fps = 25;
constexpr int max_video_frames = 100000;
constexpr int framed_range_db = 30;  // the dB a framed map spans below its top

// What lies under the maps.
struct VideoBackdrop {
    std::string camera_video;  // the camera's pictures recorded with the run; empty: none
    // How the camera sat; nothing: as the video's tags say (the default
    // camera when they do not).
    std::optional<acoustic_map::CameraGeometry> camera;
    QImage photo;  // without camera pictures: a photo of the scene, placed so
    acoustic_map::PicturePlacement photo_place;
    double opacity = 0.6;
    double threshold_db = 10.0;
};

struct RecordingVideoRequest {
    // The map's settings, geometry and calibration (its layout and rate
    // are the recording's; its window_s, when longer than an image's time,
    // the stretch behind each map).
    acoustic_map::MapJob job;
    double from_s = 0.0;
    double to_s = -1.0;  // negative: to the end
    int fps = default_video_fps;
    std::optional<double> top_db;  // the common scale's top; else the highest maximum
    QSize bound;                   // of the pictures; empty: the usual size
    VideoBackdrop under;
    std::string spill_folder;  // where the maps wait for the common scale (unnamed)
};

// The work under way: "Cartes" then "Vidéo", images done of the total;
// false stops it.
using VideoProgress = std::function<bool(const char* stage, int done, int total)>;

struct RecordingVideoResult {
    std::string error;          // French; empty when written
    bool bad_request = false;   // the request itself is at fault (interval, settings)
    bool stopped = false;       // by the progress's answer
    int frames = 0;
    double span_s = 0.0;        // of each image's map
    double top_db = 0.0;        // of the common scale
    std::string unit;           // of the levels
    int camera_pictures = 0;    // distinct recorded pictures shown
};

// Writes the video at `path` (H.264 in MP4). The file is left as it is when
// it fails: the caller writes under a temporary name.
RecordingVideoResult write_recording_video(const stream::Recording& recording, const RecordingVideoRequest& request,
                                           const std::string& path, const VideoProgress& progress = {});

// "Intervalle : 0,00 s – 0,33 s".
QString interval_text(double from_s, double to_s);

// The framed picture of `map` (made with `settings`, over the time
// `window`), its scale topped at `top_db` (the map's maximum without it), as
// large as fits in `bound` (whole pixels per grid point; an empty bound:
// the usual size), over `backdrop` when given.
QImage framed_map(const acoustic_map::Map& map, const acoustic_map::Settings& settings, const QString& window,
                  std::optional<double> top_db, QSize bound = {}, const acoustic_map::Backdrop* backdrop = nullptr);

} // namespace SonivarACQ32::picture
