#pragma once
// Writing one packet to the data file: straight to the system, no stdio
// buffer in between, so that what is counted is what the file system took.
#include <cstddef>
#include <cstdint>

namespace SonivarACQ32 {

struct WriteOutcome {
    std::size_t accepted = 0;  // bytes the system took
    int err = 0;               // errno of the write that stopped short, 0 when all went
};

// Writes `len` bytes of `data` to `fd`, resuming after partial writes and
// interrupted calls, until all are written or the system refuses.
WriteOutcome write_packet(int fd, const unsigned char* data, std::size_t len);

// Cuts the file at `length` bytes; the errno of the refusal, 0 on success.
int truncate_file(int fd, std::uint64_t length);

} // namespace SonivarACQ32
