#pragma once
// sonivar-dat map --every: one map per slice of the interval, each as a
// picture in a folder, all on one scale.
#include "recording_map.h"

#include <QSize>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

namespace sonivar_dat {

constexpr int max_slices = 100000;

struct SequenceRequest {
    MapRequest map;  // its from_s and to_s: the whole interval
    double every_s = 0.0;
    std::string png_dir;
    std::optional<double> top_db;  // the common scale's top; else the highest maximum
    QSize size;                    // of the pictures; empty: the usual one
};

// Maps every slice, then writes the pictures. The maps wait for the common
// scale on disk, in the folder, never in memory: memory stays that of one
// map whatever the number of slices. The command's exit status.
int map_sequence(const SequenceRequest& request, const Recording& r,
                 const SonivarACQ32::acoustic_map::Geometry& geometry, std::ostream& out, std::ostream& err,
                 std::FILE* terminal);

} // namespace sonivar_dat
