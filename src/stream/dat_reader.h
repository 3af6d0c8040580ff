#pragma once
// Sequential reading of a raw data file in blocks, so that memory stays the
// same whatever the file's size.
#include "stream/input_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace SonivarACQ32::stream {

class DatReader {
public:
    // Opens `path` for reading, up to `limit` bytes: the length the file had
    // when the recording was loaded, so that a file still growing (a run in
    // progress) is read as it was measured; reading starts at byte `from`.
    // False with `error` set.
    bool open(const std::string& path, std::uint64_t limit, std::string& error, std::uint64_t from = 0);
    // Reads up to n bytes; fewer only at the limit or the end of the file.
    // -1 on a read error.
    long long read(void* out, std::size_t n);

private:
    InputFile file_;
    std::uint64_t left_ = 0;
};

// Block size of the readers: a whole number of 4-byte words, small enough
// that a block read stays in the processor's cache while it is worked on.
constexpr std::size_t read_block_bytes = 256u << 10;

} // namespace SonivarACQ32::stream
