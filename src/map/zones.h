#pragma once
// Zones of the map's plane: a rectangle or a circle named by the operator,
// and the level of the sources in each, whatever the method (the rule each
// method gives in method.h: the clean map summed, or a beamformer's map
// summed and divided by its own response to a point source at the zone's
// centre).
#include "map/grid.h"
#include "map/method.h"
#include "map/steering.h"
#include "spectra/band.h"
#include "spectra/csm.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

struct Zone {
    enum class Shape { rectangle, circle };
    std::string name;
    Shape shape = Shape::rectangle;
    // Rectangle: two opposite corners; circle: the centre (x0, y0) and the
    // radius r (m).
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0, r = 0.0;

    bool contains(double x, double y) const;
    double centre_x() const { return shape == Shape::circle ? x0 : (x0 + x1) / 2.0; }
    double centre_y() const { return shape == Shape::circle ? y0 : (y0 + y1) / 2.0; }
    bool operator==(const Zone&) const = default;
};

// "NAME:x0,y0,x1,y1" (a rectangle) or "NAME:@x,y,r" (a circle), metres with
// '.' decimals; none, with the reason (French), when malformed.
std::optional<Zone> parse_zone(const std::string& text, std::string& why);
// The zone as parse_zone reads it back ("NAME:x0,y0,x1,y1", "NAME:@x,y,r";
// millimetres kept).
std::string zone_text(const Zone& zone);
// The grid points inside, as indices j * side + i.
std::vector<std::size_t> zone_points(const Zone& zone, const Grid& grid);
// Why the zone measures nothing on this grid (no point inside it, or
// outside the grid), French; empty when it does.
std::string zone_problem(const Zone& zone, const Grid& grid);

// What makes the maps whose zones are measured.
struct ZoneSetting {
    std::vector<Position> microphones;
    double sample_rate = 0.0;
    Grid grid;
    Bins bins;
    MethodKind method = MethodKind::delay_and_sum;
    MethodParameters parameters;
    bool remove_diagonal = false;
    double speed_of_sound = default_speed_of_sound;
    std::vector<double> weights;  // each bin's A-weighting; none: unweighted
};

// The method's own map of a unit point source (power 1 at the array's
// centre in each bin of the band) at `at`, each microphone hearing its own
// noise of power `noise` besides.
std::vector<float> point_response(const ZoneSetting& setting, const Steering& steering, const Position& at,
                                  double noise = 0.0);
// The microphones' own noise in averaged matrices: the least eigenvalue,
// averaged over the band's bins.
double noise_power(const CrossSpectra& data);

// The power of the sources of each zone, from a map's linear powers (the
// band's sum) and the matrices it came from; the methods' answers without
// noise are kept from map to map while the setting stays.
class ZoneMeter {
public:
    // A new setting forgets the answers kept.
    void set(const ZoneSetting& setting, const Steering& steering);
    std::vector<double> powers(const std::vector<float>& map_power, const CrossSpectra& data,
                               const std::vector<Zone>& zones);

private:
    double response_sum(const Zone& zone, const std::vector<std::size_t>& points, double noise);
    double integrated(const Zone& zone, const std::vector<std::size_t>& points, double sum, double noise);

    ZoneSetting setting_;
    const Steering* steering_ = nullptr;
    std::map<std::vector<std::size_t>, double> responses_;  // by the zone's points
};

} // namespace SonivarACQ32::acoustic_map
