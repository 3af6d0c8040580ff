#pragma once
// A map as the toolkit saves it: framed with its axes, scale and facts, as
// the map window saves it.
#include "stream_reader.h"

#include "map/beamformer.h"
#include "picture/recording_video.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>
#include <string>

namespace sonivar_dat {

constexpr int png_range_db = SonivarACQ32::picture::framed_range_db;

// "Intervalle : 0,00 s – 0,33 s" of the frames of `range`.
QString time_window(const Recording& r, SonivarACQ32::stream::FrameRange range);

// The framed picture of `map` (made with `settings`, over the time
// `window`), its scale topped at `top_db` (the map's maximum without it),
// as large as fits in `bound` (whole pixels per grid point; an empty bound:
// the window's usual size).
QImage framed_map(const SonivarACQ32::acoustic_map::Map& map, const SonivarACQ32::acoustic_map::Settings& settings,
                  const QString& window, std::optional<double> top_db, QSize bound = {});

// The framed picture of `map` as a PNG at `path`, its scale topped at
// `top_db` (the map's maximum without it), as large as fits in `bound`
// (whole pixels per grid point; an empty bound: the window's usual size).
// False with errno set.
bool write_map_png(const std::string& path, const SonivarACQ32::acoustic_map::Map& map,
                   const SonivarACQ32::acoustic_map::Settings& settings, const QString& window,
                   std::optional<double> top_db, QSize bound = {});

} // namespace sonivar_dat
