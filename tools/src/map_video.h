#pragma once
// sonivar-dat map --video: the map of the interval as a video, one map per
// image, framed as the pictures are, all on one scale, over the camera's
// pictures recorded beside the recording (NAME.mkv), over a photo, or over
// nothing; the same video as the map window's export.
#include "recording_map.h"

#include "picture/recording_video.h"

#include <QSize>
#include <QSizeF>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

namespace sonivar_dat {

using SonivarACQ32::picture::default_video_fps;

// The video's options.
struct VideoOptions {
    std::string path;
    std::optional<int> fps;
    std::optional<SonivarACQ32::acoustic_map::CameraGeometry> camera;  // how the camera sat, said anew
    bool no_camera = false;  // the recorded pictures left out
    std::string photo;
    std::optional<QSizeF> photo_size;  // m
};
inline bool is_video_flag(const std::string& name) { return name == "--no-camera"; }
// Takes `name` when it is one of the video's options: nothing when it is
// not, else why its value is wrong (empty when right).
std::optional<std::string> take_video_option(VideoOptions& v, const std::string& name, const std::string& value);
// The options that need --video, or each other.
std::string video_options_problem(const VideoOptions& v);
extern const char* const video_usage;

struct VideoRequest {
    MapRequest map;  // its from_s and to_s: the whole interval
    VideoOptions video;
    std::optional<double> top_db;  // the common scale's top; else the highest maximum
    QSize size;                    // bound of the pictures; empty: the usual one
};

// Maps every image, then encodes them. The command's exit status.
int map_video(const VideoRequest& request, const Recording& r, const SonivarACQ32::acoustic_map::Geometry& geometry,
              std::ostream& out, std::ostream& err, std::FILE* terminal);

} // namespace sonivar_dat
