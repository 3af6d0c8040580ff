#pragma once
// A 10-minute recording at the top rate (50 kHz, 32 microphones, the
// counter and the status word): one second of a 3 150 Hz tone from a point
// in front of the array, over a little noise, repeated.
#include <cstdint>
#include <filesystem>

constexpr double top_rate_hz = 50000.0;
constexpr std::uint32_t top_rate_seconds = 600;

// Writes it in `dir`; returns the ".dat" path.
std::filesystem::path top_rate_recording(const std::filesystem::path& dir);
