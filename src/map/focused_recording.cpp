#include "map/focused_recording.h"

#include "stream/frame_blocks.h"
#include "stream/header_facts.h"

#include <algorithm>

namespace SonivarACQ32::acoustic_map {

std::string focus_recording(const stream::Recording& r, const Geometry& geometry, const Position& point,
                            const stream::Calibration& factors, stream::FrameRange range,
                            const FocusedSamples& take)
{
    const std::vector<Position> placed = placed_microphones(geometry, r.layout.micros);
    if (placed.size() != r.layout.micros.size() || placed.empty())
        return "géométrie sans position pour un micro de l'enregistrement";
    Focuser focuser(placed, point, stream::sampling_rate_hz(r.header));
    const std::uint64_t wanted = range.frames();
    const std::uint64_t end = std::min(stream::whole_frames(r), range.end + focuser.lookahead());
    stream::FrameBlocks blocks(r, {range.first, end});
    std::vector<float> focused;
    std::uint64_t given = 0;
    while (given < wanted && blocks.next()) {
        const std::vector<float>& frames = blocks.samples(factors);
        focused.clear();
        focuser.add(frames.data(), blocks.frames(), focused);
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(focused.size(), wanted - given));
        if (n > 0 && !take(focused.data(), n))
            return {};
        given += n;
    }
    return blocks.error();
}

stream::BlockReader focused_blocks(const stream::Recording& recording, const Geometry& geometry, const Position& point,
                                   stream::FrameRange range, const stream::Calibration& factors)
{
    return [&recording, &geometry, point, range, factors](std::uint64_t first, std::size_t frames,
                                                           std::vector<float>& block, std::string& error) {
        block.clear();
        const stream::FrameRange stretch{range.first + first, range.first + first + frames};
        error = focus_recording(recording, geometry, point, factors, stretch, [&block](const float* samples, std::size_t n) {
            block.insert(block.end(), samples, samples + n);
            return true;
        });
        block.resize(frames, 0.0f);
        return error.empty();
    };
}

} // namespace SonivarACQ32::acoustic_map
