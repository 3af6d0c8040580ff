#pragma once
// sonivar-dat map --video: the map of the interval as a video, one map per
// frame of the video (each over the frame's own time, at least one block of
// the map), framed as the pictures are (scale, unit, method, band, time),
// all on one scale.
#include "recording_map.h"

#include <QSize>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

namespace sonivar_dat {

constexpr int default_video_fps = 25;
constexpr int max_video_frames = 100000;

struct VideoRequest {
    MapRequest map;  // its from_s and to_s: the whole interval
    std::string path;
    int fps = default_video_fps;
    std::optional<double> top_db;  // the common scale's top; else the highest maximum
    QSize size;                    // bound of the pictures; empty: the usual one
};

// Maps every frame, then encodes them (the maps wait for the common scale
// in an unnamed file beside the video). The command's exit status.
int map_video(const VideoRequest& request, const Recording& r, const SonivarACQ32::acoustic_map::Geometry& geometry,
              std::ostream& out, std::ostream& err, std::FILE* terminal);

} // namespace sonivar_dat
