#pragma once
// Arithmetic of the sampling clock: the unit divides a 500 kHz base rate by a
// whole divisor, and counts samples per channel in 32 bits.
#include <array>
#include <cstdint>

namespace SonivarACQ32::timing {

constexpr std::int32_t base_rate_hz = 500000;

// The byte sent with the clock division command for a divisor D: D - 1.
std::uint8_t division_byte(std::int32_t divisor);

// The sampling frequency the unit runs at for a division byte: 500 000
// divided by (byte + 1) in whole numbers, so " 41 667" gives 41 666 Hz.
float frequency_from_division_byte(std::uint8_t byte);

// Longest duration a 32-bit sample count allows: 2^32 / frequency, computed
// in double and kept as float. A frequency of 0 has no bound: 0 is returned.
float max_duration(float frequency);

// Samples per channel for a duration: duration x frequency rounded down
// (computed as (duration x 10 x frequency) / 10 in whole numbers). A duration
// that would need more than 32 bits is held at the largest count rather than
// wrapping round to a short run; a negative or undefined product gives 0.
std::uint32_t sample_count(float duration, float frequency);

// The count as the four data bytes of the sample count command, least
// significant first.
std::array<std::uint8_t, 4> count_bytes(std::uint32_t count);

// The delay byte taken from the advanced-mode spin box: its value truncated to
// a whole number, low 8 bits kept.
std::uint8_t delay_byte(double spin_value);

} // namespace SonivarACQ32::timing
