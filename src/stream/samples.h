#pragma once
// One sample word as a number: a 32-bit signed integer or a 32-bit float,
// whichever the run's data type chose, and the whole frames of a piece of
// the stream as floats, each microphone scaled by its calibration factor.
#include "stream/stream_format.h"
#include "stream/frame_layout.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace SonivarACQ32::stream {

// Full scale of each sample type: an int32 sample counts up to 2^31, a
// float32 sample up to 1.0.
constexpr double int32_full_scale = 2147483648.0;
constexpr double full_scale(bool is_float) { return is_float ? 1.0 : int32_full_scale; }

// The sample in the units of the data: counts or the float's value.
inline float sample_value(std::uint32_t word, bool is_float)
{
    return is_float ? std::bit_cast<float>(word) : static_cast<float>(static_cast<std::int32_t>(word));
}

// The sample in int32 counts whatever its type (a float sample s counts as
// s x 2^31), so that the same sound gives the same number in both types.
inline double sample_counts(std::uint32_t word, bool is_float)
{
    return is_float ? static_cast<double>(std::bit_cast<float>(word)) * int32_full_scale
                    : static_cast<double>(static_cast<std::int32_t>(word));
}

constexpr int calibrated_microphones = 32;

// Each microphone's factor, by global index, from the units of the data to
// the unit of the analysis (pascal once the array is calibrated); 1 when
// the array is not calibrated.
struct Calibration {
    std::array<float, calibrated_microphones> factor;
    Calibration() { factor.fill(1.0f); }
    float of(int micro) const
    {
        return micro >= 0 && micro < calibrated_microphones ? factor[static_cast<std::size_t>(micro)] : 1.0f;
    }
    bool identity() const;
};

// The first byte of a whole frame in a piece of the stream that starts at
// byte `stream_position`: packets are not aligned on frames.
inline std::uint64_t first_frame_offset(std::uint64_t stream_position, const FrameLayout& layout)
{
    const std::uint64_t frame = layout.frame_bytes();
    return frame == 0 ? 0 : (frame - stream_position % frame) % frame;
}

// The whole frames of the `len` bytes at `data`, which lie at byte
// `stream_position` of the stream, as interleaved floats, one per
// microphone of the layout in its order, calibrated. `out` keeps its
// capacity from call to call. Returns the frames decoded. A sample that is
// no number (a NaN or infinite float word) or beyond `max_sample_magnitude`
// once scaled is left out as silence, 0, and counted in `non_finite` when
// given: no level, map or spectrum is undefined by it.
// A million times full scale, or a million pascal (ten times the air's own
// pressure): no microphone gives it, and the squares of the spectra of such
// samples would overflow a float.
constexpr float max_sample_magnitude = 1e6f;

std::size_t decode_frames(const unsigned char* data, std::size_t len, std::uint64_t stream_position,
                          const FrameLayout& layout, const Calibration& calibration,
                          std::vector<float>& out, std::uint64_t* non_finite = nullptr);

} // namespace SonivarACQ32::stream
