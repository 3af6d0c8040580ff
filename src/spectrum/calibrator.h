#pragma once
// Calibrating the array with a sound calibrator: over the last second, the
// band level at the calibrator's frequency of each microphone; the one that
// stands well above all the others is under the calibrator, and its factor
// is what makes it read the calibrator's level. The microphones not
// measured take the factor in use, or the mean of those measured (matched
// MEMS microphones differ little).
#include "stream/samples.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::spectrum {

constexpr double calibrator_margin_db = 20.0;  // above every other microphone

// The power in int32 counts squared of each channel in the band around
// `frequency` (a third-octave), from auto-spectra (channels x bins) whose
// powers are in the square of `per_count[c]` units per count.
std::vector<double> band_power_counts(const std::vector<double>& auto_spectra, int channels, double sample_rate,
                                      double frequency, const std::vector<double>& per_count);

struct CalibratorReading {
    int microphone = -1;  // global index; -1: none stands out
    double factor = 0.0;  // pascal per count
    std::string why;      // French, when none stands out
};

// `power_counts` per channel, `micros` their global indices.
CalibratorReading read_calibrator(const std::vector<double>& power_counts, const std::vector<int>& micros,
                                  double level_db);

using Measured = std::array<std::optional<float>, stream::calibrated_microphones>;

// Every microphone's factor: those measured; the others from `in_use`, or
// the mean of those measured. Nothing when none was measured.
std::optional<stream::Calibration> complete_calibration(const Measured& measured,
                                                        const std::optional<stream::Calibration>& in_use);

} // namespace SonivarACQ32::spectrum
