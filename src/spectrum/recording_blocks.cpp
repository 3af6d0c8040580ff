#include "spectrum/recording_blocks.h"

#include "stream/frame_blocks.h"

namespace SonivarACQ32::spectrum {

BlockReader recording_blocks(const stream::Recording& recording, stream::FrameRange range,
                             const stream::Calibration& factors)
{
    return [&recording, range, factors](std::uint64_t first, std::vector<float>& block, std::string& error) {
        const std::uint64_t from = range.first + first, block_end = from + acoustic_map::block_frames;
        stream::FrameBlocks blocks(recording, {from, std::min(block_end, range.end)}, acoustic_map::block_frames);
        if (!blocks.next() || blocks.frames() != static_cast<std::size_t>(acoustic_map::block_frames)) {
            error = blocks.error().empty() ? "enregistrement plus court que prévu" : blocks.error();
            return false;
        }
        block = blocks.samples(factors);
        return true;
    };
}

} // namespace SonivarACQ32::spectrum
