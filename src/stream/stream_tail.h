#pragma once
// The newest stretch of a run's stream, as a live computation keeps it:
// pieces come in as the acquisition offers them, contiguous pieces are read
// as one stream (a frame cut between two pieces is not lost), and the last
// frames are decoded on demand. A piece of a new run, or one that does not
// follow the last, starts the stretch afresh. A stretch of a recording read
// from its file takes the place of the stream.
#include "stream/frame_layout.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SonivarACQ32::stream {

// A piece of the stream as a worker keeps it (its own copy of the bytes).
struct StreamPiece {
    std::vector<unsigned char> bytes;
    std::uint64_t stream_position = 0;
    std::uint64_t run = 0;
};

// The last frames of the stretch, decoded.
struct TailFrames {
    std::uint64_t stream_position = 0;  // of the first frame
    std::uint64_t stream_end = 0;       // after the last
    std::size_t frames = 0;
    std::size_t new_frames = 0;  // of them, those added since the last read
};

// Frames behind one outcome of a live computation: `window_s` seconds; 0 s:
// one transfer's worth of frames, at most a second; never fewer than
// `fewest` (a computation's block).
std::size_t window_frames(double window_s, double sample_rate, const FrameLayout& layout, std::size_t fewest);

class StreamTail {
public:
    // The frames' layout, and how many whole frames must stay readable.
    void set_layout(const FrameLayout& layout, std::size_t keep_frames);
    // True when the piece started the stretch afresh.
    bool add(const StreamPiece& piece);
    // The slice's bytes, as the whole stretch of run `run`.
    bool load(const FileSlice& slice, std::uint64_t run, std::string& error);
    void forget();
    bool empty() const { return bytes_.empty(); }

    // The last `frames` whole frames (fewer when fewer have come), each
    // microphone scaled by its factor, into `decoded`.
    TailFrames last_frames(std::size_t frames, const Calibration& factors, std::vector<float>& decoded);

private:
    FrameLayout layout_;
    std::size_t keep_frames_ = 0;
    std::uint64_t run_ = 0;
    std::vector<unsigned char> bytes_;  // contiguous, from position_ on
    std::uint64_t position_ = 0;
    std::uint64_t new_bytes_ = 0;  // added since the last read
};

} // namespace SonivarACQ32::stream
