#pragma once
// A map as the toolkit saves it: framed with its axes, scale and facts, as
// the map window saves it.
#include "stream_reader.h"

#include "map/beamformer.h"

#include <QString>

#include <optional>
#include <string>

namespace sonivar_dat {

constexpr int png_range_db = 30;

// "Intervalle : 0,00 s – 0,33 s" of the frames of `range`.
QString time_window(const Recording& r, SonivarACQ32::stream::FrameRange range);

// The framed picture of `map` as a PNG at `path`, its scale topped at
// `top_db` (the map's maximum without it). False with errno set.
bool write_map_png(const std::string& path, const SonivarACQ32::acoustic_map::Map& map,
                   const SonivarACQ32::acoustic_map::Settings& settings, const QString& window,
                   std::optional<double> top_db);

} // namespace sonivar_dat
