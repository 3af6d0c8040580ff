#pragma once
// The partial spectra of the zones of a map: each zone's level in every
// third-octave band from 100 Hz to the highest wholly below Nyquist, by the
// zone's rule (zones.h), from one cross-spectral average covering them all.
#include "map/zones.h"
#include "stream/levels.h"

#include <string>

#include <vector>

namespace SonivarACQ32::acoustic_map {

constexpr double zone_spectrum_lowest_hz = 100.0;

// The third-octaves of a zone spectrum at this rate (indices of the
// series), and the bins they cover together.
std::vector<int> zone_spectrum_bands(double sample_rate);
Bins zone_spectrum_bins(double sample_rate);

struct ZoneSpectrum {
    std::vector<double> frequencies;         // the bands' nominal centres, Hz
    std::vector<std::vector<double>> power;  // [band][zone], linear, the unit's square
};

// `wide`: averaged matrices over zone_spectrum_bins(). `setting`: the map's
// microphones, rate, grid, method and its parameters (its bins and weights
// are the band's own here); each bin A-weighted when asked.
ZoneSpectrum zone_spectrum(const CrossSpectra& wide, const ZoneSetting& setting, const std::vector<Zone>& zones,
                           bool a_weighted);

// The spectra as a table: "zone,frequency_hz,level_db" then a row per zone
// and band, zone after zone in their order ('.' decimals, "-inf" for
// silence), levels in `unit`.
std::string zone_spectrum_csv(const std::vector<Zone>& zones, const ZoneSpectrum& spectrum, stream::LevelUnit unit);

} // namespace SonivarACQ32::acoustic_map
