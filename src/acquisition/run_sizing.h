#pragma once
// Sizing of an acquisition run: what the unit is asked for, how many 1 MiB
// packets that makes, how long a transfer may wait, and how much of the disk
// a recording may use. Plain arithmetic, no window and no USB.
#include "stream/stream_format.h"

#include <cstdint>
#include <optional>

namespace SonivarACQ32::run_sizing {

using stream::packet_bytes;
using stream::packet_words;
constexpr std::uint64_t disk_reserve = 1000000000;    // left free on the disk
constexpr std::int32_t trigger_extra_ms = 30000;      // added while a trigger is awaited
constexpr std::uint32_t trigger_wait_ms = 30000;      // longest trigger wait
constexpr std::uint32_t disk_margin_packets = 16;     // open-ended runs stop this early

// Bytes the unit sends for `count` frames of `nb_voies` words.
std::uint64_t requested_bytes(std::int32_t nb_voies, std::uint32_t count);

// A run of defined length: whole packets plus, when the request is not a
// multiple of 1 MiB, one short last packet of `remainder` bytes.
struct PacketPlan {
    std::uint32_t n_pkt = 0;
    std::uint64_t remainder = 0;   // bytes of the short last packet, 0 if none
};
PacketPlan plan_packets(std::uint64_t requested);

// An open-ended run: the disk-based packet limit, usable / 1 MiB - 1 cut to
// 32 bits; below 1 MiB (always when not recording) this is 4 294 967 295.
std::uint32_t open_ended_packets(std::uint64_t usable);

// Time-out of the run's transfers: 2000 ms, or the time the unit needs to fill
// the eight buffers plus 1000 ms when that is longer.
std::int32_t transfer_timeout_ms(std::int32_t nb_voies, double frequence);

// Milliseconds the unit takes to fill one transfer buffer.
double packet_fill_ms(std::int32_t nb_voies, double frequence);

// How long the trigger wait may last. With plain (not zero-copy) buffers the
// first data is only seen once a whole transfer has filled, so that time is
// allowed on top of the announced 30 s.
std::uint32_t trigger_wait_limit_ms(std::int32_t nb_voies, double frequence, bool zero_copy);

// How long a unit may go on sending after Stop before its transfers are
// taken back: half the run's transfer time-out, at least 500 ms, so that
// the transfers are cancelled before their own time-out can fire.
std::uint32_t stop_grace_ms(std::int32_t transfer_timeout_ms);

// Free bytes less the reserve, never below 0.
std::uint64_t usable_space(std::uint64_t free_bytes);

// Whole gibibytes and the seconds of recording the usable space allows.
std::uint64_t usable_gibibytes(std::uint64_t usable);
float seconds_allowed(std::uint64_t usable, std::int32_t nb_voies, double frequence);

// An open-ended recorded run stops once it is within 16 packets of its disk
// limit, usable / 1 MiB - 1 (or past it: one event call may handle several
// packets). Worked from the usable space in 64 bits, so that a room under
// 1 MiB, where the 32-bit packet limit wraps, stops the run at once too.
bool disk_limit_reached(std::uint32_t num_pkt, std::uint64_t usable);

// Elapsed whole seconds between two 32-bit millisecond ticks.
std::int32_t elapsed_seconds(std::uint32_t start_tick, std::uint32_t now_tick);

// Frames written and the recorded duration, for the header record.
std::uint32_t frames_written(std::uint64_t ntw, std::int32_t nb_voies);
float recorded_duration(std::uint32_t nb_ech, double frequence);

// Milliseconds the unit took to stream `bytes` of frames of nb_voies words
// at `frequence` (whole frames, rounded to the nearest millisecond).
std::uint32_t stream_time_ms(std::uint64_t bytes, std::int32_t nb_voies, double frequence);

// MiB received, as the final report shows it.
double mebibytes(std::uint64_t ntr);

} // namespace SonivarACQ32::run_sizing
