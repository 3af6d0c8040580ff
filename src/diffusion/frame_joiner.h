#pragma once
// The run's stream as whole frames, from pieces that may end within a frame
// (a transfer is 1 MiB, a frame 4 x nb_voies bytes): the start of a cut
// frame waits for the rest, so that no frame is lost at a transfer's end.
// A piece that does not follow the last starts afresh (its first bytes up
// to a frame's start are left out).
#include "stream/frame_layout.h"
#include "stream/samples.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace SonivarACQ32::diffusion {

class FrameJoiner {
public:
    void reset() { cut_.clear(); }

    // Calls `whole(data, len, stream_position)` for each stretch of whole
    // frames, in stream order.
    template <typename Whole>
    void add(const unsigned char* data, std::size_t len, std::uint64_t position, const stream::FrameLayout& layout,
             Whole&& whole)
    {
        const std::size_t frame = layout.frame_bytes();
        if (frame == 0)
            return;
        if (!cut_.empty() && position == cut_end_) {
            const std::size_t needed = std::min(frame - cut_.size(), len);
            cut_.insert(cut_.end(), data, data + needed);
            data += needed;
            len -= needed;
            position += needed;
            cut_end_ = position;
            if (cut_.size() < frame)
                return;  // a piece shorter than the rest of the frame
            whole(cut_.data(), frame, position - frame);
        }
        const auto first = static_cast<std::size_t>(std::min<std::uint64_t>(stream::first_frame_offset(position, layout), len));
        const std::size_t rest = (len - first) % frame;
        if (len - first - rest != 0)
            whole(data + first, len - first - rest, position + first);
        cut_.assign(data + len - rest, data + len);
        cut_end_ = position + len;
    }

private:
    std::vector<unsigned char> cut_;  // the start of a frame, from the end of the last piece
    std::uint64_t cut_end_ = 0;       // the stream position just after it
};

} // namespace SonivarACQ32::diffusion
