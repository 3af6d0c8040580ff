#include "feed/packet_feed.h"

#include "stream/stream_format.h"

#include <algorithm>
#include <cstring>

namespace SonivarACQ32::feed {

void PacketFeed::subscribe(Subscriber* s)
{
    if (s == nullptr || std::find(subscribers_.begin(), subscribers_.end(), s) != subscribers_.end())
        return;
    subscribers_.push_back(s);
    s->capture(state_, run_);
}

std::uint32_t PacketFeed::offer_interval_ms() const
{
    std::uint32_t interval = video_offer_ms;
    for (const Subscriber* s : subscribers_)
        interval = std::min(interval, std::max<std::uint32_t>(s->offer_interval_ms(), 1));
    return interval;
}

void PacketFeed::unsubscribe(Subscriber* s)
{
    subscribers_.erase(std::remove(subscribers_.begin(), subscribers_.end(), s), subscribers_.end());
}

void PacketFeed::run_starting(Capture state, const stream::FrameLayout& layout, double sample_rate,
                              const std::string& recording)
{
    run_.serial += 1;
    run_.layout = layout;
    run_.sample_rate = sample_rate;
    run_.recording = recording;
    offered_end_ = 0;
    set_state(state);
}

void PacketFeed::set_state(Capture state)
{
    state_ = state;
    for (Subscriber* s : subscribers_)
        s->capture(state_, run_);
}

void PacketFeed::publish(const unsigned char* data, std::size_t len, std::uint64_t stream_position)
{
    if (state_ == Capture::stopped || data == nullptr)
        return;
    const std::uint64_t end = stream_position + len;
    if (end <= offered_end_)
        return;
    const std::uint64_t from = std::max(stream_position, offered_end_);
    offered_end_ = end;
    if (subscribers_.empty())
        return;
    const Piece piece{data + (from - stream_position), static_cast<std::size_t>(end - from), from,
                      run_.serial};
    ++pieces;
    for (Subscriber* s : subscribers_)
        s->piece(piece);
}

void mark_unfilled(unsigned char* buffer, std::size_t size)
{
    for (std::size_t at = 0; at + stream::fill_mark_bytes <= size; at += stream::fill_stride)
        std::memset(buffer + at, stream::buffer_fill_byte, stream::fill_mark_bytes);
}

std::size_t filled_bytes(const unsigned char* buffer, std::size_t size, std::size_t known)
{
    const auto marked = [&](std::size_t at) {
        return std::all_of(buffer + at, buffer + at + stream::fill_mark_bytes,
                           [](unsigned char b) { return b == stream::buffer_fill_byte; });
    };
    // The data lands byte after byte: a stride whose mark is overwritten may
    // still be landing, but every stride before it is whole.
    constexpr std::size_t stride = stream::fill_stride;
    for (std::size_t at = known - known % stride; at + stream::fill_mark_bytes <= size; at += stride)
        if (marked(at))
            return std::max(at, stride) - stride;
    return std::max(size, stride) - stride;
}

std::size_t whole_frames_length(std::size_t len, std::uint64_t stream_position,
                                const stream::FrameLayout& layout)
{
    const std::uint64_t frame = layout.frame_bytes();
    if (frame == 0)
        return 0;
    const std::uint64_t end = stream_position + len;
    const std::uint64_t last_boundary = end - end % frame;
    return last_boundary <= stream_position ? 0 : static_cast<std::size_t>(last_boundary - stream_position);
}

} // namespace SonivarACQ32::feed
