#pragma once
// A stretch of time of a recording as frames and as bytes of its data
// file: what the map window's review and the toolkit read of it.
#include "stream/recording.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SonivarACQ32::stream {

// Frames first..end (end excluded).
struct FrameRange {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    std::uint64_t frames() const { return end > first ? end - first : 0; }
};

// Bytes offset..offset+length of a data file, read no further than `limit`
// (its length when the recording was loaded: a growing file is read as it
// was measured).
struct FileSlice {
    std::string path;
    std::uint64_t limit = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The whole frames of the data file, and the time they last.
std::uint64_t whole_frames(const Recording& recording);
double duration_s(const Recording& recording);

// The frames from `from_s` to `to_s` seconds (negative: to the end), within
// the recording.
FrameRange frame_range(const Recording& recording, double from_s, double to_s);

FileSlice file_slice(const Recording& recording, FrameRange range);

// The slice's bytes into `out`; false with `error` (French) when the file
// cannot be read or holds fewer bytes than the slice.
bool read_slice(const FileSlice& slice, std::vector<unsigned char>& out, std::string& error);

} // namespace SonivarACQ32::stream
