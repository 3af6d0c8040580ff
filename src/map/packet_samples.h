#pragma once
// What the map needs of one packet of the unit's stream: the acquired
// microphones' samples of its whole frames, as floats, copied by the
// completion routine before the transfer goes back to the unit.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace SonivarACQ32::acoustic_map {

struct PacketSamples {
    std::vector<float> frames;  // interleaved, one float per microphone
    std::size_t count = 0;      // whole frames held
    int micros = 0;             // floats per frame
    bool fresh = false;         // copied since the last map was drawn
};

// The copies waiting for the run loop's next pass: usually one, more when
// several packets complete within one pass (the end of a stream, a slow
// pass). It holds as many as the ring has transfers, so that no packet
// misses its map; were it full, the oldest copy would be given up.
class PacketQueue {
public:
    static constexpr std::size_t capacity = 8;
    // The slot the next copy goes into; it waits once committed.
    PacketSamples& next_slot();
    void commit();
    // The oldest waiting copy, nullptr when none; pop() releases it.
    PacketSamples* front();
    void pop();
    std::size_t waiting() const { return waiting_; }
    std::uint64_t copies = 0;  // committed since the program started

private:
    std::array<PacketSamples, capacity> slots_;
    std::size_t first_ = 0;
    std::size_t waiting_ = 0;
};

// The frame layout of the stream as the copy reads it.
struct StreamLayout {
    std::int32_t nb_voies = 0;
    bool counter_first = true;  // microphone i is word i + 1, else word i
    std::int32_t nb_micros = 0;
    bool is_float = false;      // float32 samples, else int32
};

// Copies the whole frames of the `len` bytes at `data`, which lie at byte
// `stream_position` of the stream: the first frame boundary is found from it
// (packets are not aligned on frames). The vector keeps its capacity from
// packet to packet.
void copy_packet(PacketSamples& out, const unsigned char* data, std::uint32_t len,
                 std::uint64_t stream_position, const StreamLayout& layout);

} // namespace SonivarACQ32::acoustic_map
