#include "map_zones.h"

#include "cli.h"

#include <algorithm>
#include <fstream>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;

std::string add_zone(std::vector<am::Zone>& zones, const std::string& value)
{
    std::string why;
    const std::optional<am::Zone> zone = am::parse_zone(value, why);
    if (!zone)
        return why;
    for (const am::Zone& z : zones)
        if (z.name == zone->name)
            return "deux zones nommées « " + z.name + " »";
    zones.push_back(*zone);
    return {};
}

std::string zones_problem(const std::vector<am::Zone>& zones, const am::Grid& grid)
{
    for (const am::Zone& z : zones)
        if (std::string problem = am::zone_problem(z, grid); !problem.empty())
            return problem;
    return {};
}

std::vector<ZoneLevel> ranked_levels(const std::vector<am::Zone>& zones, const std::vector<double>& powers,
                                     SonivarACQ32::stream::LevelUnit unit)
{
    std::vector<ZoneLevel> levels;
    for (std::size_t z = 0; z < zones.size() && z < powers.size(); ++z) {
        const double db = SonivarACQ32::stream::level_db(std::max(powers[z], 0.0), unit);
        levels.push_back({zones[z].name, powers[z], db, SonivarACQ32::stream::is_silence(db, unit)});
    }
    std::stable_sort(levels.begin(), levels.end(),
                     [](const ZoneLevel& a, const ZoneLevel& b) { return a.power > b.power; });
    return levels;
}

void print_zone_levels(std::ostream& out, const std::vector<ZoneLevel>& levels, const std::string& unit)
{
    if (levels.empty())
        return;
    out << "Zones (niveau des sources, de la plus forte à la plus faible) :\n";
    for (std::size_t rank = 0; rank < levels.size(); ++rank)
        out << "  " << rank + 1 << ". " << levels[rank].name << " : "
            << (levels[rank].silence ? std::string("silence")
                                     : decimal(levels[rank].level_db, 1) + " " + unit)
            << "\n";
}

bool write_zone_csv(const std::string& path, const std::vector<ZoneLevel>& levels)
{
    std::ofstream csv(path, std::ios::binary);
    csv << "zone,level_db\n";
    for (const ZoneLevel& z : levels)
        csv << z.name << ',' << plain_level(z.level_db, z.silence) << '\n';
    csv.flush();
    return static_cast<bool>(csv);
}

bool write_zone_spectrum_csv(const std::string& path, const std::vector<am::Zone>& zones,
                             const am::ZoneSpectrum& spectrum, SonivarACQ32::stream::LevelUnit unit)
{
    std::ofstream csv(path, std::ios::binary);
    csv << am::zone_spectrum_csv(zones, spectrum, unit);
    csv.flush();
    return static_cast<bool>(csv);
}

} // namespace sonivar_dat
