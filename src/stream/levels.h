#pragma once
// Levels in dB and their unit. An array not calibrated reads in dBFS: its
// samples become fractions of full scale (2^31 for int32, 1.0 for float32,
// so the same sound reads the same in both types) and a sine of full-scale
// amplitude reads 0 dBFS. A calibrated array reads in dB SPL re 20 uPa: each
// microphone's factor turns its counts into pascal.
#include "stream/samples.h"

#include <optional>
#include <string>

namespace SonivarACQ32::stream {

// `data`: dB re one unit of the data squared, for numbers of no known scale.
enum class LevelUnit { data, dbfs, db_spl };

constexpr double reference_pressure = 20e-6;  // Pa, 0 dB SPL

const char* unit_text(LevelUnit unit);  // "dB", "dBFS", "dB SPL"
// The unit as a scale shows it: "dBFS", "dB SPL", "dBFS(A)", "dB(A)".
std::string unit_label(LevelUnit unit, bool a_weighted);
// The power (mean square) that reads 0 dB.
double reference_power(LevelUnit unit);
double level_db(double power, LevelUnit unit);
// No sound at all (a power of zero: a silent recording) has no level in dB:
// its level is held at a floor thousands of dB below any sound, and reads
// as silence (A-weighting may have shifted it by a few dB).
bool is_silence(double level, LevelUnit unit);

LevelUnit unit_of(const std::optional<Calibration>& pascal_per_count);
// Pascal per count of microphone `micro` with a calibration; without one,
// full scale per count (1 / 2^31).
double per_count_factor(const std::optional<Calibration>& pascal_per_count, int micro);
// The factors applied as samples become floats: pascal with a calibration,
// fractions of full scale without.
Calibration sample_factors(const std::optional<Calibration>& pascal_per_count, bool is_float);

} // namespace SonivarACQ32::stream
