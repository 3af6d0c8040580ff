#include "stream/frame_blocks.h"

#include <algorithm>

namespace SonivarACQ32::stream {

FrameBlocks::FrameBlocks(const Recording& recording, FrameRange range, std::size_t block_frames)
    : recording_(recording), range_(range), next_(range.first)
{
    const std::size_t frame = recording.layout.frame_bytes();
    block_frames_ = block_frames > 0 ? block_frames : std::max<std::size_t>(1, read_block_bytes / std::max<std::size_t>(frame, 1));
}

bool FrameBlocks::open()
{
    if (!opened_ && error_.empty())
        opened_ = reader_.open(recording_.dat_path, recording_.dat_bytes, error_,
                               range_.first * recording_.layout.frame_bytes());
    return opened_;
}

bool FrameBlocks::next()
{
    frames_ = 0;
    const std::size_t frame = recording_.layout.frame_bytes();
    if (!error_.empty() || next_ >= range_.end || frame == 0 || !open())
        return false;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(block_frames_, range_.end - next_));
    words_.resize(count * frame / 4);
    if (reader_.read(words_.data(), count * frame) != static_cast<long long>(count * frame)) {
        error_ = "erreur de lecture du fichier de données";
        return false;
    }
    first_ = next_;
    frames_ = count;
    next_ += count;
    return true;
}

const std::vector<float>& FrameBlocks::samples(const Calibration& factors)
{
    const std::size_t frame = recording_.layout.frame_bytes();
    decode_frames(reinterpret_cast<const unsigned char*>(words_.data()), frames_ * frame, first_ * frame,
                  recording_.layout, factors, samples_, &non_finite_);
    return samples_;
}

BlockReader recording_blocks(const Recording& recording, FrameRange range, const Calibration& factors)
{
    return [&recording, range, factors](std::uint64_t first, std::size_t frames, std::vector<float>& block,
                                        std::string& error) {
        const std::uint64_t from = range.first + first;
        FrameBlocks blocks(recording, {from, std::min<std::uint64_t>(from + frames, range.end)}, frames);
        if (!blocks.next() || blocks.frames() != frames) {
            error = blocks.error().empty() ? "enregistrement plus court que prévu" : blocks.error();
            return false;
        }
        block = blocks.samples(factors);
        return true;
    };
}

} // namespace SonivarACQ32::stream
