#include "acquisition/timing.h"

#include <cmath>
#include <limits>

namespace SonivarACQ32::timing {

std::uint8_t division_byte(std::int32_t divisor)
{
    return static_cast<std::uint8_t>(divisor - 1);
}

float frequency_from_division_byte(std::uint8_t byte)
{
    return static_cast<float>(base_rate_hz / (static_cast<std::int32_t>(byte) + 1));
}

float max_duration(float frequency)
{
    if (!(frequency > 0.0f))
        return 0.0f;
    return static_cast<float>(4294967296.0 / static_cast<double>(frequency));
}

std::uint32_t sample_count(float duration, float frequency)
{
    const double tenths = static_cast<double>(duration) * 10.0 * static_cast<double>(frequency);
    if (!(tenths > 0.0))
        return 0;  // also NaN
    // The duration box may round its maximum up past 2^32 samples (2 000 Hz:
    // 2 147 483.75 s shown as 2 147 483.8); wrapping would turn the longest
    // run into a 204-sample one.
    constexpr double limit = 10.0 * 4294967295.0;
    if (tenths >= limit + 10.0)
        return std::numeric_limits<std::uint32_t>::max();
    const auto whole = static_cast<std::uint64_t>(tenths) / 10u;
    if (whole > std::numeric_limits<std::uint32_t>::max())
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(whole);
}

std::array<std::uint8_t, 4> count_bytes(std::uint32_t count)
{
    return {static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
}

std::uint8_t delay_byte(double spin_value)
{
    if (!std::isfinite(spin_value) || std::fabs(spin_value) >= 9.0e18)
        return 0;
    return static_cast<std::uint8_t>(static_cast<std::int64_t>(spin_value) & 0xFF);
}

} // namespace SonivarACQ32::timing
