#pragma once
// The spectrum of the array's signals from the pipeline's auto-spectra:
// power per FFT bin (one microphone's, or the mean over the microphones),
// gathered into third-octave bands, A-weighted if asked, and its peak.
// Powers are those of the cross-spectra: a tone reads its own power, A^2/2,
// summed over the bins it leaks into (a power spectrum, not a density).
#include "spectra/band.h"
#include "stream/levels.h"

#include <string>
#include <vector>

namespace SonivarACQ32::spectrum {

struct Line {
    double frequency;  // Hz: a bin's centre, or a band's nominal centre
    double power;      // in the unit's square: full scale or pascal
};

// Every bin from 1 to Nyquist of `auto_spectra` (microphones x bins, as
// CrossSpectra keeps them): microphone `microphone`'s (its place among
// them), or the mean over all when it is negative.
std::vector<Line> narrow_band(const std::vector<double>& auto_spectra, int microphones, int microphone,
                              double sample_rate);

// Base-2 third-octave bands by nominal centre, every one the bins resolve:
// from the lowest whose centre is at least a bin's width to the highest
// whose upper edge is within Nyquist (the last bin). Each bin stands for
// the frequencies within half a bin of its centre and gives each band the
// share of its power that the band overlaps.
std::vector<Line> third_octave_bands(const std::vector<Line>& bins);

using acoustic_map::a_weighting_db;

// Levels in dB of `unit`, A-weighted if asked.
std::vector<double> levels_db(const std::vector<Line>& lines, stream::LevelUnit unit, bool a_weighted);

using stream::unit_label;

struct Peak {
    double frequency = 0.0;
    double level_db = 0.0;
};
Peak peak_of(const std::vector<Line>& lines, const std::vector<double>& levels);
// The peak of the narrow-band `bins` (equally spaced, from Hann blocks) read
// as a tone: its frequency interpolated between the bins, its level the
// tone's power wherever it falls between them (a bin alone holds 2/3 of a
// tone at its centre, less between two), A-weighted at that frequency.
Peak tone_peak(const std::vector<Line>& bins, stream::LevelUnit unit, bool a_weighted);

} // namespace SonivarACQ32::spectrum
