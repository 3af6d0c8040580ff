#pragma once
// The unit's sample stream as bytes, addressed by their position since the
// Start. A frame is one 32-bit little-endian word per channel: the counter
// first (when enabled), the selected microphones in ascending global index,
// then the status word last (when enabled). The status word carries the
// external inputs: bit 0 input 1, bit 1 input 2.
#include "device_model.h"
#include "scene.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

struct CounterJump {
    std::uint64_t frame = 0;  // first frame whose counter is off
    std::uint32_t by = 0;
};

class FrameSource {
public:
    FrameSource() = default;
    FrameSource(const UnitSettings& settings, const std::array<Signal, 32>& signals,
                 std::uint32_t first_counter, std::vector<CounterJump> jumps, Scene scene = {});

    std::size_t frame_bytes() const { return 4 * layout_.size(); }
    // Writes the n stream bytes that start at byte `offset`.
    void fill(std::uint64_t offset, std::uint8_t* out, std::size_t n) const;
    // The word at `word` of frame `frame`, as sent.
    std::uint32_t word(std::uint64_t frame, std::size_t word) const;

    // The external inputs, as the status word reports them.
    void set_inputs(bool input1, bool input2) { inputs_ = (input1 ? 1u : 0u) | (input2 ? 2u : 0u); }
    // What microphones with the Scene signal hear, from the next sample on.
    void set_scene(Scene scene)
    {
        scene_ = std::move(scene);
        source_frame_ = no_frame;
    }

private:
    std::uint32_t sample_bits(int mic, std::uint64_t frame) const;
    double sample_value(int mic, std::uint64_t frame) const;

    // Each word of a frame: -1 counter, -2 status, else the microphone.
    std::vector<int> layout_;
    std::array<Signal, 32> signals_{};
    DataType type_ = DataType::Int32;
    double rate_ = 50000.0;
    std::uint32_t first_counter_ = 0;
    std::vector<CounterJump> jumps_;
    std::uint32_t inputs_ = 0;
    Scene scene_;
    static constexpr std::uint64_t no_frame = ~std::uint64_t{0};
    mutable std::uint64_t source_frame_ = no_frame;  // the frame source_now_ is for
    mutable PointSource source_now_;
};

} // namespace sim
