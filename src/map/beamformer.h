#pragma once
// The acoustic map of the array's signals on a plane grid parallel to the
// array: cross-spectral matrices (csm.h), the grid's steering
// (steering.h) and a method (method.h) put together, and the map in dB.
#include "spectra/band.h"
#include "spectra/csm.h"
#include "map/geometry.h"
#include "map/grid.h"
#include "map/method.h"
#include "map/quadratic_forms.h"
#include "map/steering.h"
#include "map/zones.h"
#include "stream/levels.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

struct Settings {
    double frequency = 3150.0;  // Hz, centre of the band
    BandKind band = BandKind::third_octave;
    double lower_hz = 500.0, upper_hz = 5000.0;  // a broadband band's edges
    bool a_weighted = false;                      // each bin A-weighted
    Grid grid;
    MethodKind method = MethodKind::delay_and_sum;
    bool remove_diagonal = false;
    // Weight of the previous average when a packet's matrix joins it,
    // 0 to below 1; 0: each map from its own packet alone.
    double smoothing = 0.0;
    double speed_of_sound = default_speed_of_sound;  // m/s
    MethodParameters parameters;
    // What the frames' numbers are: fractions of full scale, pascal, or of
    // no known scale.
    stream::LevelUnit unit = stream::LevelUnit::data;
};

struct Map {
    int side = 0;
    // Level of point (x_i, y_j) at level_db[j * side + i], in `unit`.
    std::vector<float> level_db;
    stream::LevelUnit unit = stream::LevelUnit::data;
    bool a_weighted = false;
    double max_x = 0.0;
    double max_y = 0.0;
    float max_db = 0.0f;
    float min_db = 0.0f;
};

// The map's unit as its scale shows it: "dB SPL", "dBFS(A)"...
std::string unit_label(const Map& map);

// The bins the settings' band takes at this sampling rate.
Bins settings_bins(const Settings& settings, double sample_rate);
// The band's edges in Hz as the operator reads them: a third-octave's or a
// broadband band's own, a single bin's half a bin either side of it.
Edges band_edges(const Settings& settings, double sample_rate);

// Why this grid makes no map (French, with the finest step its extent
// allows); empty when it does.
std::string grid_problem(const Grid& grid);
// Why these settings make no map at this sampling rate (French); empty when
// they do.
std::string settings_problem(const Settings& settings, double sample_rate);

// Powers (linear) to levels in dB of `unit`: levels 120 dB below the
// maximum and lower, negative powers included, are shown at that floor.
void levels_of(const std::vector<float>& power, const Grid& grid, stream::LevelUnit unit, Map& out);

class Beamformer {
public:
    Beamformer();
    ~Beamformer();
    Beamformer(const Beamformer&) = delete;
    Beamformer& operator=(const Beamformer&) = delete;

    // The microphones taking part, in the order of the channels of the
    // frames to come. Forgets every average. Returns why no map can be made
    // (French), or an empty string when the beamformer is ready.
    std::string configure(const std::vector<Position>& microphones, double sample_rate,
                          const Settings& settings);
    bool ready() const;

    // Adds the whole blocks of `count` interleaved frames, one float per
    // microphone each; returns the blocks added. Frames after the last whole
    // block are not kept.
    std::size_t add_frames(const float* frames, std::size_t count);

    // Folds the blocks added since the last map into the average and
    // computes the map; false when there is none, and why_no_map() says why.
    bool compute(Map& out);
    // The weight of the previous average at the next fold (0 to below 1).
    void set_smoothing(double smoothing) { settings_.smoothing = smoothing; }
    const std::string& why_no_map() const { return why_no_map_; }
    // Forgets every average: the next map comes from new blocks alone.
    void reset();

    const Bins& bins() const;
    const CrossSpectra& spectra() const { return spectra_; }
    // The last map's linear powers (the band's sum per grid point), its
    // steering and what a zone meter needs of it.
    const std::vector<float>& powers() const { return power_; }
    const Steering& steering() const { return steering_; }
    const ZoneSetting& zone_setting() const { return zone_setting_; }

private:
    Settings settings_;
    CrossSpectra spectra_;
    Steering steering_;
    std::unique_ptr<Method> method_;
    std::vector<float> power_;
    ZoneSetting zone_setting_;
    std::string why_no_map_;
    bool ready_ = false;
};

} // namespace SonivarACQ32::acoustic_map
