#pragma once
// The zones of `sonivar-dat map`: --zone NAME:x0,y0,x1,y1 or NAME:@x,y,r,
// their levels ranked on the output and, with --zone-csv, as a table.
#include "map/zone_spectrum.h"
#include "map/zones.h"
#include "stream/levels.h"

#include <ostream>
#include <string>
#include <vector>

namespace sonivar_dat {

struct ZoneLevel {
    std::string name;
    double power = 0.0;  // linear, the unit's square
    double level_db = 0.0;
    bool silence = false;
};

// One --zone value into `zones`; the reason (French) when it is refused
// (malformed, or a name already given).
std::string add_zone(std::vector<SonivarACQ32::acoustic_map::Zone>& zones, const std::string& value);
// Why one of the zones measures nothing on `grid`; empty when all do.
std::string zones_problem(const std::vector<SonivarACQ32::acoustic_map::Zone>& zones,
                          const SonivarACQ32::acoustic_map::Grid& grid);
// The zones' levels from their powers, loudest first.
std::vector<ZoneLevel> ranked_levels(const std::vector<SonivarACQ32::acoustic_map::Zone>& zones,
                                     const std::vector<double>& powers, SonivarACQ32::stream::LevelUnit unit);
// "Zones (…) :" then "  1. moteur : 64,8 dB SPL" per zone.
void print_zone_levels(std::ostream& out, const std::vector<ZoneLevel>& levels, const std::string& unit);
// "zone,level_db" rows, loudest first, '.' decimals; false when the write failed.
bool write_zone_csv(const std::string& path, const std::vector<ZoneLevel>& levels);

// "zone,frequency_hz,level_db" rows, zone after zone in their given order,
// band after band; false when the write failed.
bool write_zone_spectrum_csv(const std::string& path, const std::vector<SonivarACQ32::acoustic_map::Zone>& zones,
                             const SonivarACQ32::acoustic_map::ZoneSpectrum& spectrum,
                             SonivarACQ32::stream::LevelUnit unit);

} // namespace sonivar_dat
