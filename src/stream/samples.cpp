#include "stream/samples.h"

#include <cmath>

#include <algorithm>

namespace SonivarACQ32::stream {

bool Calibration::identity() const
{
    return std::all_of(factor.begin(), factor.end(), [](float f) { return f == 1.0f; });
}

std::size_t decode_frames(const unsigned char* data, std::size_t len, std::uint64_t stream_position,
                          const FrameLayout& layout, const Calibration& calibration,
                          std::vector<float>& out, std::uint64_t* non_finite)
{
    out.clear();
    const std::size_t n = layout.micros.size();
    const std::uint64_t frame = layout.frame_bytes();
    if (data == nullptr || n == 0 || frame == 0 || !layout.holds_micros())
        return 0;
    const std::uint64_t offset = first_frame_offset(stream_position, layout);
    if (len <= offset)
        return 0;
    const std::size_t count = static_cast<std::size_t>((len - offset) / frame);
    std::array<float, calibrated_microphones> factor{};
    std::array<std::uint32_t, calibrated_microphones> word{};
    const std::size_t used = std::min<std::size_t>(n, calibrated_microphones);
    for (std::size_t m = 0; m < used; ++m) {
        factor[m] = calibration.of(layout.micros[m]);
        word[m] = static_cast<std::uint32_t>(layout.micro_word(m));
    }
    out.resize(count * used);
    const unsigned char* base = data + offset;
    for (std::size_t f = 0; f < count; ++f, base += frame) {
        float* row = out.data() + f * used;
        for (std::size_t m = 0; m < used; ++m)
            row[m] = sample_value(word_at(base, word[m]), layout.is_float) * factor[m];
    }
    // A float word may be anything; an int32 one only becomes huge through
    // its calibration factor.
    std::uint64_t left_out = 0;
    for (float& v : out)
        if (!(std::fabs(v) <= max_sample_magnitude)) {
            v = 0.0f;
            ++left_out;
        }
    if (non_finite != nullptr)
        *non_finite += left_out;
    return count;
}

} // namespace SonivarACQ32::stream
