#include "stream/float_wav.h"

#include <cstring>

namespace SonivarACQ32::stream {

namespace {

void put16(unsigned char*& at, std::uint32_t v)
{
    *at++ = static_cast<unsigned char>(v);
    *at++ = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char*& at, std::uint32_t v)
{
    put16(at, v & 0xffffu);
    put16(at, v >> 16);
}

void put_tag(unsigned char*& at, const char* tag)
{
    std::memcpy(at, tag, 4);
    at += 4;
}

} // namespace

std::array<unsigned char, float_header_bytes> float_wav_header(std::size_t channels, int rate, std::uint64_t frames)
{
    const auto data = static_cast<std::uint32_t>(frames * channels * 4);
    const auto block = static_cast<std::uint32_t>(channels * 4);
    std::array<unsigned char, float_header_bytes> h{};
    unsigned char* at = h.data();
    put_tag(at, "RIFF");
    put32(at, static_cast<std::uint32_t>(float_header_bytes - 8) + data);
    put_tag(at, "WAVE");
    put_tag(at, "fmt ");
    put32(at, 18);
    put16(at, 3);  // IEEE float
    put16(at, static_cast<std::uint32_t>(channels));
    put32(at, static_cast<std::uint32_t>(rate));
    put32(at, static_cast<std::uint32_t>(rate) * block);
    put16(at, block);
    put16(at, 32);
    put16(at, 0);  // no extension
    put_tag(at, "fact");
    put32(at, 4);
    put32(at, static_cast<std::uint32_t>(frames));
    put_tag(at, "data");
    put32(at, data);
    return h;
}


} // namespace SonivarACQ32::stream
