#pragma once
// Continuity check of the counter channel. The unit numbers its frames in
// word 0 of each frame; the program looks at one counter word per packet,
// the first word of the packet that begins a frame. Packets are 262 144
// words long and not aligned on frames, so that word moves from packet to
// packet by a fixed step, and the counter it holds grows by a fixed number
// of frames (one fewer when the position wraps back to an earlier word).
#include "stream/stream_format.h"

#include <cstddef>
#include <cstdint>

namespace SonivarACQ32::counter {

// How far the first frame start moves from one full packet to the next:
// (nb_voies - 262144 mod nb_voies) mod nb_voies; 0 for nb_voies <= 0.
std::int32_t increment_position(std::int32_t nb_voies);
// Frames between the first frame starts of two consecutive packets, before
// the wrap correction: (increment_position + 262144) / nb_voies, exact.
std::int32_t increment_compteur(std::int32_t nb_voies);

// The word checked in a packet and the counter value expected there.
struct Checkpoint {
    std::uint32_t position = 0;  // word index within the packet
    std::int32_t expected = 0;   // counter value, compared on 32 bits
};

// The checkpoint of the next full packet after `previous`. The counter
// wraps at 2^32, so the sum is taken modulo 2^32.
Checkpoint next_checkpoint(const Checkpoint& previous, std::int32_t nb_voies,
                           std::int32_t increment_position, std::int32_t increment_compteur);

// A packet is checked only while no error was found, with the counter
// channel on, and when it holds more than four frames (len > 16 x nb_voies).
bool packet_is_checked(std::uint32_t len, std::int32_t nb_voies, bool compteur,
                       bool erreur_compteur);

} // namespace SonivarACQ32::counter
