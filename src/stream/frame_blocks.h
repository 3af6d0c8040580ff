#pragma once
// A stretch of a recording read block after block of whole frames, so that
// memory stays flat whatever its length: each block's raw words, and its
// microphones' samples as floats (in the layout's order), each times its
// calibration factor. The one way the toolkit's commands read a recording's
// frames.
#include "stream/dat_reader.h"
#include "stream/recording.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace SonivarACQ32::stream {

class FrameBlocks {
public:
    // Frames of `range` in blocks of `block_frames` (0: a reader's block's
    // worth, read_block_bytes). Nothing is read before next().
    FrameBlocks(const Recording& recording, FrameRange range, std::size_t block_frames = 0);

    // Opens the data file now (next() does it otherwise): false when it
    // cannot be, error() saying why.
    bool open();
    // The next block: false at the end of the stretch, or when the data file
    // cannot be opened or read (error() then says why, in French).
    bool next();
    std::size_t frames() const { return frames_; }
    std::uint64_t first() const { return first_; }  // the block's first frame
    const std::uint32_t* words() const { return words_.data(); }  // frames() x nb_voies
    // The block's microphones as floats, each times its factor from
    // `factors` (by global index): frames() x microphones.
    const std::vector<float>& samples(const Calibration& factors);
    // Samples that were no number (NaN, infinite), left out as silence, in
    // the blocks decoded so far.
    std::uint64_t non_finite() const { return non_finite_; }
    const std::string& error() const { return error_; }

private:
    const Recording& recording_;
    FrameRange range_;
    std::size_t block_frames_ = 0;
    DatReader reader_;
    bool opened_ = false;
    std::uint64_t next_ = 0;
    std::uint64_t first_ = 0;
    std::size_t frames_ = 0;
    std::vector<std::uint32_t> words_;
    std::vector<float> samples_;
    std::uint64_t non_finite_ = 0;
    std::string error_;
};

// `frames` frames from `first` (relative to a stretch's start), their
// channels interleaved as floats; false with the reason (French) when they
// cannot be read. Called on several threads at once.
using BlockReader = std::function<bool(std::uint64_t first, std::size_t frames, std::vector<float>& block,
                                       std::string& error)>;

// A recording's microphones from anywhere in `range`, decoded with
// `factors`, each read apart (a file reader of its own), so that threads
// may read at once. The recording must outlive the reader.
BlockReader recording_blocks(const Recording& recording, FrameRange range, const Calibration& factors);

} // namespace SonivarACQ32::stream
