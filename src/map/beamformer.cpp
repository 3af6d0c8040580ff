#include "map/beamformer.h"

#include "stream/french_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace SonivarACQ32::acoustic_map {

using stream::french_grouped;

std::string grid_problem(const Grid& grid)
{
    if (grid.side() == 0) {
        std::string why = "Grille invalide : étendue et pas positifs, au plus " +
                          std::to_string(max_grid_side) + " points par côté";
        if (grid.extent > 0.0 && std::isfinite(grid.extent))
            why += " (pour ± " + french_grouped(grid.extent, 2) + " m, un pas d'au moins " +
                   french_grouped(std::ceil(2.0 * grid.extent / (max_grid_side - 1) * 1000.0) / 1000.0, 3) +
                   " m)";
        return why;
    }
    if (!(grid.z >= nearest_plane_m && grid.z <= farthest_plane_m))
        return "Distance du plan invalide : de " + french_grouped(nearest_plane_m, 2) + " à " +
               french_grouped(farthest_plane_m, 0) + " m";
    return {};
}

std::string settings_problem(const Settings& s, double sample_rate)
{
    if (std::string problem = grid_problem(s.grid); !problem.empty())
        return problem;
    if (!(s.smoothing >= 0.0 && s.smoothing < 1.0))
        return "Lissage invalide";
    if (!(s.speed_of_sound > 0.0) || !std::isfinite(s.speed_of_sound))
        return "Vitesse du son invalide";
    if (s.band == BandKind::broadband && settings_bins(s, sample_rate).empty())
        return "Bande large invalide : de " + french_grouped(s.lower_hz, 0) + " à " + french_grouped(s.upper_hz, 0) +
               " Hz, au plus " + french_grouped(bin_frequency(nb_bins - 1, sample_rate), 0) + " Hz à " +
               french_grouped(sample_rate, 0) + " Hz d'échantillonnage";
    if (settings_bins(s, sample_rate).empty())
        return "Fréquence hors de la bande analysable (au-delà de " +
               french_grouped(bin_frequency(nb_bins - 1, sample_rate), 0) + " Hz à " +
               french_grouped(sample_rate, 0) + " Hz d'échantillonnage)";
    return {};
}

std::string unit_label(const Map& map) { return stream::unit_label(map.unit, map.a_weighted); }

Bins settings_bins(const Settings& s, double sample_rate)
{
    return s.band == BandKind::broadband ? broadband_bins(s.lower_hz, s.upper_hz, sample_rate)
                                         : band_bins(s.frequency, sample_rate, s.band);
}

Edges band_edges(const Settings& s, double sample_rate)
{
    if (s.band == BandKind::third_octave)
        return third_octave_edges(s.frequency);
    if (s.band == BandKind::broadband)
        return {s.lower_hz, s.upper_hz};
    const Bins bin = settings_bins(s, sample_rate);
    if (bin.empty())
        return {};
    const double half = bin_frequency(1, sample_rate) / 2.0;
    return {bin_frequency(bin.first, sample_rate) - half, bin_frequency(bin.last, sample_rate) + half};
}

void levels_of(const std::vector<float>& power, const Grid& grid, stream::LevelUnit unit, Map& out)
{
    const int side = grid.side();
    out.side = side;
    out.unit = unit;
    out.level_db.resize(power.size());
    std::size_t top_point = 0;
    for (std::size_t p = 1; p < power.size(); ++p)
        if (power[p] > power[top_point])
            top_point = p;
    const double top = power.empty() ? 0.0 : power[top_point];
    const double floor = top > 0.0 ? top * 1e-12 : std::numeric_limits<double>::min();
    out.min_db = std::numeric_limits<float>::max();
    for (std::size_t p = 0; p < power.size(); ++p) {
        out.level_db[p] = static_cast<float>(stream::level_db(std::max<double>(power[p], floor), unit));
        out.min_db = std::min(out.min_db, out.level_db[p]);
    }
    out.max_db = power.empty() ? 0.0f : out.level_db[top_point];
    out.max_x = grid.coordinate(static_cast<int>(top_point % side));
    out.max_y = grid.coordinate(static_cast<int>(top_point / side));
}

Beamformer::Beamformer() = default;
Beamformer::~Beamformer() = default;

bool Beamformer::ready() const { return ready_; }
const Bins& Beamformer::bins() const { return spectra_.bins(); }

std::string Beamformer::configure(const std::vector<Position>& mics, double sample_rate,
                                  const Settings& settings)
{
    ready_ = false;
    if (mics.size() < 2)
        return "Moins de 2 micros acquis : pas de carte";
    if (mics.size() > static_cast<std::size_t>(max_microphones))
        return "Trop de micros pour la carte";
    if (std::string problem = settings_problem(settings, sample_rate); !problem.empty())
        return problem;
    settings_ = settings;
    const Bins band = settings_bins(settings, sample_rate);
    if (std::string problem = spectra_.configure(static_cast<int>(mics.size()), band); !problem.empty())
        return problem;
    std::vector<double> weights = settings.a_weighted ? a_weights(band, sample_rate) : std::vector<double>{};
    spectra_.set_weights(weights);
    steering_.build(settings.grid, mics, sample_rate, band, settings.speed_of_sound);
    method_ = make_method(settings.method);
    power_.assign(steering_.points(), 0.0f);
    zone_setting_ = {mics,      sample_rate,          settings.grid,         band, settings.method,
                     settings.parameters, settings.remove_diagonal, settings.speed_of_sound, std::move(weights)};
    ready_ = true;
    return {};
}

std::size_t Beamformer::add_frames(const float* frames, std::size_t count)
{
    return ready_ ? spectra_.add_frames(frames, count) : 0;
}

void Beamformer::reset() { spectra_.reset(); }

bool Beamformer::compute(Map& out)
{
    why_no_map_.clear();
    if (!ready_ || !spectra_.fold(settings_.smoothing)) {
        why_no_map_ = "Pas encore un bloc entier de " + std::to_string(block_frames) + " trames";
        return false;
    }
    const MethodInput input{spectra_, steering_, settings_.remove_diagonal, settings_.parameters};
    why_no_map_ = method_->powers(input, power_);
    if (!why_no_map_.empty())
        return false;
    levels_of(power_, settings_.grid, settings_.unit, out);
    out.a_weighted = settings_.a_weighted;
    return true;
}

} // namespace SonivarACQ32::acoustic_map
