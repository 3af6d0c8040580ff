#pragma once
// Level of each acquired microphone over the newest packet: the mean power of
// 2000 consecutive frames, in decibels above one unit squared, minus 15,
// as a colour index 0 to 127.
#include "acquisition/stream_format.h"

#include <cstddef>
#include <cstdint>

namespace SonivarACQ32::levels {

using stream::packet_bytes;
constexpr std::uint32_t window_frames = 2000;    // frames averaged
constexpr int max_index = 127;

// A packet is used only when it holds more than 2001 whole frames, so that
// 2000 frames fit after the first frame boundary.
bool enough_frames(std::uint32_t received_bytes, std::int32_t nb_voies);

// Bytes from the start of packet number `packet` to the first frame boundary
// after it: F - (P mod F) with F the frame size and P the packet's position in
// the stream. A packet starting on a boundary skips its first whole frame.
std::uint32_t first_frame_offset(std::int32_t nb_voies, std::uint32_t packet);

// The colour index for a mean power: floor(10 log10(max(M, 1)) - 15 + 0.5),
// held within 0 to 127.
int level_index(double mean_power);

// Colour indices of the acquired microphones of one packet, written to
// indices[0 ..]; returns how many were written (nb_micros, unless the frame is
// too short to hold them). Microphone i is word i + 1 of the frame when the
// counter leads it, word i otherwise. The caller has checked enough_frames:
// every word read then lies within the received bytes.
int packet_levels(const unsigned char* data, std::uint32_t packet, std::int32_t nb_voies,
                   std::int32_t nb_micros, bool counter_first, int* indices);

} // namespace SonivarACQ32::levels
