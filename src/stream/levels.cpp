#include "stream/levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace SonivarACQ32::stream {

const char* unit_text(LevelUnit unit)
{
    switch (unit) {
    case LevelUnit::dbfs: return "dBFS";
    case LevelUnit::db_spl: return "dB SPL";
    case LevelUnit::data: break;
    }
    return "dB";
}

std::string unit_label(LevelUnit unit, bool a_weighted)
{
    if (!a_weighted)
        return unit_text(unit);
    return unit == LevelUnit::db_spl ? "dB(A)" : std::string(unit_text(unit)) + "(A)";
}

double reference_power(LevelUnit unit)
{
    switch (unit) {
    case LevelUnit::dbfs: return 0.5;  // a sine of amplitude 1
    case LevelUnit::db_spl: return reference_pressure * reference_pressure;
    case LevelUnit::data: break;
    }
    return 1.0;
}

double level_db(double power, LevelUnit unit)
{
    return 10.0 * std::log10(std::max(power, std::numeric_limits<double>::min()) / reference_power(unit));
}

bool is_silence(double level, LevelUnit unit)
{
    return level < level_db(0.0, unit) + 100.0;
}

LevelUnit unit_of(const std::optional<Calibration>& pascal_per_count)
{
    return pascal_per_count ? LevelUnit::db_spl : LevelUnit::dbfs;
}

double per_count_factor(const std::optional<Calibration>& pascal_per_count, int micro)
{
    return pascal_per_count ? pascal_per_count->of(micro) : 1.0 / int32_full_scale;
}

Calibration sample_factors(const std::optional<Calibration>& pascal_per_count, bool is_float)
{
    // A float32 sample s counts as s x 2^31.
    const double counts_per_unit = is_float ? int32_full_scale : 1.0;
    Calibration factors;
    for (std::size_t m = 0; m < factors.factor.size(); ++m)
        factors.factor[m] = static_cast<float>(per_count_factor(pascal_per_count, static_cast<int>(m)) * counts_per_unit);
    return factors;
}

} // namespace SonivarACQ32::stream
