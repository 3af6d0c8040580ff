#include "map/packet_samples.h"

#include "acquisition/stream_format.h"

#include <bit>

namespace SonivarACQ32::acoustic_map {

PacketSamples& PacketQueue::next_slot()
{
    if (waiting_ == capacity) {
        first_ = (first_ + 1) % capacity;
        --waiting_;
    }
    return slots_[(first_ + waiting_) % capacity];
}

void PacketQueue::commit()
{
    ++waiting_;
    ++copies;
}

PacketSamples* PacketQueue::front() { return waiting_ == 0 ? nullptr : &slots_[first_]; }

void PacketQueue::pop()
{
    if (waiting_ == 0)
        return;
    slots_[first_].fresh = false;
    first_ = (first_ + 1) % capacity;
    --waiting_;
}

void copy_packet(PacketSamples& out, const unsigned char* data, std::uint32_t len,
                 std::uint64_t stream_position, const StreamLayout& layout)
{
    out.count = 0;
    out.micros = layout.nb_micros;
    if (layout.nb_voies <= 0 || layout.nb_micros <= 0 || data == nullptr)
        return;
    const std::uint64_t frame_bytes = 4ull * layout.nb_voies;
    const std::uint64_t offset = (frame_bytes - stream_position % frame_bytes) % frame_bytes;
    if (len <= offset)
        return;
    const std::size_t count = static_cast<std::size_t>((len - offset) / frame_bytes);
    const std::uint32_t first_word = static_cast<std::uint32_t>(offset / 4) + (layout.counter_first ? 1 : 0);
    const std::size_t n = static_cast<std::size_t>(layout.nb_micros);
    if (count == 0 || (layout.counter_first ? 1u : 0u) + n > static_cast<std::size_t>(layout.nb_voies))
        return;  // no whole frame, or a frame too short to hold the microphones
    out.frames.resize(count * n);
    for (std::size_t f = 0; f < count; ++f) {
        const std::uint32_t base = first_word + static_cast<std::uint32_t>(f * layout.nb_voies);
        float* row = out.frames.data() + f * n;
        for (std::size_t m = 0; m < n; ++m) {
            const std::uint32_t w = stream::word_at(data, base + static_cast<std::uint32_t>(m));
            row[m] = layout.is_float ? std::bit_cast<float>(w)
                                     : static_cast<float>(static_cast<std::int32_t>(w));
        }
    }
    out.count = count;
    out.fresh = true;
}

} // namespace SonivarACQ32::acoustic_map
