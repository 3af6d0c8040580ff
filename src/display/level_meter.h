#pragma once
// Level of each acquired microphone over the newest packet: the mean power of
// 2000 consecutive frames, in decibels above one unit squared, minus 15,
// as a colour index 0 to 127.
#include "stream/stream_format.h"
#include "stream/frame_layout.h"

#include <cstddef>
#include <cstdint>

namespace SonivarACQ32::levels {

using stream::packet_bytes;
constexpr std::uint32_t window_frames = 2000;    // frames averaged
// A transfer followed as it fills shows levels once it holds this many.
constexpr std::uint32_t fewest_frames = 100;
constexpr int max_index = 127;

// A packet is used only when it holds more than 2001 whole frames, so that
// 2000 frames fit after the first frame boundary.
bool enough_frames(std::uint32_t received_bytes, std::int32_t nb_voies);

// Bytes from the start of packet number `packet` to the frame the level
// reading starts at: the first frame boundary past the packet's first byte
// (stream::first_frame_offset), so that a packet starting on a boundary
// leaves its first frame out: F - (P mod F), F the frame size and P the
// packet's position in the stream.
std::uint32_t reading_offset(std::int32_t nb_voies, std::uint32_t packet);

// The colour index for a mean power: floor(10 log10(max(M, 1)) - 15 + 0.5),
// held within 0 to 127.
int level_index(double mean_power);

// Colour indices of the acquired microphones of one packet, written to
// indices[0 ..]; returns how many were written (the layout's microphones,
// none when its frame cannot hold them). Each microphone is read at its own
// word of the layout, in counts whatever the sample type (a float32 sample
// s counts as s x 2^31), so the same sound gives the same colour in both
// types. The caller has checked enough_frames: every word read then lies
// within the received bytes.
int packet_levels(const unsigned char* data, std::uint32_t packet, const stream::FrameLayout& layout,
                  int* indices);

// The same over the `frames` frames (2000 unless fewer have come) that
// start at `first_frame`.
int window_levels(const unsigned char* first_frame, const stream::FrameLayout& layout, int* indices,
                  std::uint32_t frames = window_frames);

} // namespace SonivarACQ32::levels
