#pragma once
// What a microphone selection means for the unit and for the stream: the
// four beam masks, the extra-channel flags, the frame size and the list of
// acquired microphones.
#include <array>
#include <cstdint>

namespace SonivarACQ32::channels {

constexpr int nb_beams = 4;
constexpr int mics_per_beam = 8;
constexpr int nb_mics = nb_beams * mics_per_beam;

constexpr std::uint8_t counter_flag = 0x80;  // extra-channel byte: packet counter
constexpr std::uint8_t status_flag = 0x40;   // extra-channel byte: status word

// Check states of the grid, [beam][microphone].
using Selection = std::array<std::array<bool, mics_per_beam>, nb_beams>;

struct ChannelMap {
    std::array<std::uint8_t, nb_beams> masks{};  // bit j: microphone j of the beam
    std::uint8_t extra_flags = 0;
    std::int32_t nb_micros = 0;
    // Entries 0 to nb_micros - 1: global indices 8 x beam + microphone, ascending.
    std::array<std::int32_t, nb_mics> num_mic_valid{};
    std::int32_t nb_voies = 0;                   // 32-bit words per frame
    bool compteur = false;                       // counter word leads each frame
    std::array<std::uint8_t, nb_mics> flags{};   // header activation map, 1 when acquired
};

ChannelMap channel_map(const Selection& selection, bool counter, bool status);

// Global microphone index and its place in the grid.
constexpr int global_index(int beam, int mic) { return mics_per_beam * beam + mic; }
constexpr int beam_of(int m) { return m / mics_per_beam; }
constexpr int mic_of(int m) { return m % mics_per_beam; }

} // namespace SonivarACQ32::channels
