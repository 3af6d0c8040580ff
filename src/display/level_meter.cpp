#include "display/level_meter.h"

#include "stream/samples.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace SonivarACQ32::levels {

namespace {

constexpr int max_mics = 32;  // a frame never carries more microphones

} // namespace

bool enough_frames(std::uint32_t received_bytes, std::int32_t nb_voies)
{
    const std::uint64_t needed = static_cast<std::uint64_t>(nb_voies) * 2001u * 4u;
    return nb_voies > 0 && received_bytes > needed;
}

std::uint32_t reading_offset(std::int32_t nb_voies, std::uint32_t packet)
{
    stream::FrameLayout layout;
    layout.nb_voies = nb_voies;
    const std::uint64_t offset =
        stream::first_frame_offset(static_cast<std::uint64_t>(packet) * packet_bytes, layout);
    return static_cast<std::uint32_t>(offset == 0 ? layout.frame_bytes() : offset);
}

int level_index(double mean_power)
{
    const double m = mean_power >= 1.0 ? mean_power : 1.0;  // a silent channel gives 0
    const double index = std::floor(10.0 * std::log10(m) - 15.0 + 0.5);
    if (index < 1.0)
        return 0;
    if (index >= max_index)
        return max_index;
    return static_cast<int>(index);
}

int window_levels(const unsigned char* first_frame, const stream::FrameLayout& layout, int* indices,
                  std::uint32_t frames)
{
    if (!layout.holds_micros() || frames == 0)
        return 0;
    const int count = std::min<int>(static_cast<int>(layout.micros.size()), max_mics);
    if (count == 0)
        return 0;
    // Frame by frame, so the packet is read once, in order.
    std::array<double, max_mics> sums{};
    const std::size_t frame = layout.frame_bytes();
    const unsigned char* p = first_frame + 4u * static_cast<std::size_t>(layout.micro_word(0));
    for (std::uint32_t k = 0; k < frames; ++k, p += frame) {
        for (int i = 0; i < count; ++i) {
            const double s = stream::sample_counts(stream::word_at(p, i), layout.is_float);
            sums[i] += s * s;
        }
    }
    for (int i = 0; i < count; ++i)
        indices[i] = level_index(sums[i] / static_cast<double>(frames));
    return count;
}

int packet_levels(const unsigned char* data, std::uint32_t packet, const stream::FrameLayout& layout,
                  int* indices)
{
    return window_levels(data + reading_offset(layout.nb_voies, packet), layout, indices);
}

} // namespace SonivarACQ32::levels
