#pragma once
// The start command's choice of source and condition.
#include <cstdint>

namespace SonivarACQ32::start_trigger {

// Where the start comes from, and on which condition of the external input.
enum class StartSource { Soft = 0, Trig1 = 1, Trig2 = 2 };
enum class TriggerMode { RisingEdge = 0, FallingEdge = 1, High = 2, Low = 3 };

// Second data byte of the start command: the source, plus the condition in
// the two high bits for an external input.
constexpr std::uint8_t trigger_byte(StartSource source, TriggerMode mode)
{
    const auto base = static_cast<std::uint8_t>(source);
    if (source == StartSource::Soft)
        return base;
    return static_cast<std::uint8_t>(base + 64 * static_cast<int>(mode));
}

} // namespace SonivarACQ32::start_trigger
