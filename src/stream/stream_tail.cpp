#include "stream/stream_tail.h"

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::stream {

std::size_t window_frames(double window_s, double sample_rate, const FrameLayout& layout, std::size_t fewest)
{
    const std::uint64_t frame = layout.frame_bytes();
    std::size_t frames = 0;
    if (window_s > 0.0 && sample_rate > 0.0)
        frames = static_cast<std::size_t>(std::llround(window_s * sample_rate));
    else if (frame > 0 && sample_rate > 0.0)
        frames = std::min(static_cast<std::size_t>(packet_bytes / frame), static_cast<std::size_t>(sample_rate));
    return std::max(frames, fewest);
}

void StreamTail::set_layout(const FrameLayout& layout, std::size_t keep_frames)
{
    if (layout.frame_bytes() != layout_.frame_bytes() || layout.micros != layout_.micros)
        forget();
    layout_ = layout;
    keep_frames_ = keep_frames;
}

void StreamTail::forget()
{
    bytes_.clear();
    new_bytes_ = 0;
}

// Only the frames kept (and the one not finished) stay; the bytes are
// trimmed in steps, so that they move seldom.
bool StreamTail::add(const StreamPiece& piece)
{
    const bool afresh = piece.run != run_ || position_ + bytes_.size() != piece.stream_position;
    if (afresh) {
        run_ = piece.run;
        forget();
        position_ = piece.stream_position;
    }
    bytes_.insert(bytes_.end(), piece.bytes.begin(), piece.bytes.end());
    new_bytes_ += piece.bytes.size();
    const std::uint64_t frame = layout_.frame_bytes();
    const std::size_t keep = (keep_frames_ + 2) * static_cast<std::size_t>(frame);
    if (frame > 0 && bytes_.size() > keep + std::max<std::size_t>(keep / 4, packet_bytes)) {
        const std::size_t drop = bytes_.size() - keep;
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(drop));
        position_ += drop;
    }
    return afresh;
}

bool StreamTail::load(const FileSlice& slice, std::uint64_t run, std::string& error)
{
    if (!read_slice(slice, bytes_, error)) {
        bytes_.clear();
        return false;
    }
    position_ = slice.offset;
    run_ = run;
    new_bytes_ = bytes_.size();
    return true;
}

TailFrames StreamTail::last_frames(std::size_t frames, const Calibration& factors, std::vector<float>& decoded)
{
    TailFrames out;
    const std::uint64_t frame = layout_.frame_bytes();
    const std::uint64_t first = first_frame_offset(position_, layout_);
    const std::size_t whole = frame == 0 || bytes_.size() <= first ? 0 : (bytes_.size() - first) / frame;
    const std::size_t from = whole > frames ? whole - frames : 0;
    const std::uint64_t start = first + from * frame;
    out.frames = decode_frames(bytes_.data() + start, (whole - from) * frame, position_ + start, layout_, factors,
                               decoded);
    out.stream_position = position_ + start;
    out.stream_end = out.stream_position + out.frames * frame;
    out.new_frames = frame == 0 ? 0 : std::min<std::size_t>(new_bytes_ / frame, out.frames);
    new_bytes_ = 0;
    return out;
}

} // namespace SonivarACQ32::stream
