#pragma once
// Sequential reading of a raw data file in large blocks, so that memory stays
// the same whatever the file's size.
#include <cstddef>
#include <cstdint>
#include <string>

namespace sonivar_dat {

class DatReader {
public:
    DatReader() = default;
    ~DatReader();
    DatReader(const DatReader&) = delete;
    DatReader& operator=(const DatReader&) = delete;

    // Opens `path` for reading; false with `error` set when it cannot.
    bool open(const std::string& path, std::string& error);
    // Reads up to n bytes; fewer only at the end of the file. -1 on a read error.
    long long read(void* out, std::size_t n);

private:
    int fd_ = -1;
};

// Block size of the readers: a few MiB, a whole number of 4-byte words.
constexpr std::size_t read_block_bytes = 4u << 20;

} // namespace sonivar_dat
