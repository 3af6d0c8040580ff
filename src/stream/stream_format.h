#pragma once
// The unit's stream as the program receives it: 1 MiB bulk transfers of
// 32-bit little-endian words, frames of `nb_voies` words one after the
// other (counter first when it is on, then the selected microphones in
// ascending index, then the status word), not aligned on transfers.
#include <cstddef>
#include <cstdint>

namespace SonivarACQ32::stream {

constexpr std::uint32_t packet_bytes = 1048576;        // one bulk transfer
constexpr std::uint32_t word_bytes = 4;                // one sample or counter word
constexpr std::uint32_t packet_words = packet_bytes / word_bytes;
// A transfer's buffer holds this byte until the unit's data reaches it, so
// that data can be seen arriving in zero-copy memory. Not zero: a silent
// unit's samples are zero.
constexpr unsigned char buffer_fill_byte = 0xA5;
// The unit's data lands in a transfer's buffer in whole USB packets, of 512
// bytes at the least: a buffer followed as it fills carries the fill in the
// first 8 bytes of each 512, which data overwrites as it comes.
constexpr std::size_t fill_stride = 512;
constexpr std::size_t fill_mark_bytes = 8;

// Bytes of one frame of `nb_voies` words.
constexpr std::uint64_t frame_bytes(std::int32_t nb_voies)
{
    return nb_voies > 0 ? std::uint64_t{word_bytes} * static_cast<std::uint64_t>(nb_voies) : 0;
}

// Word `index` of a packet, little-endian, read without alignment concerns.
inline std::uint32_t word_at(const unsigned char* packet, std::uint32_t index)
{
    const unsigned char* b = packet + std::size_t{index} * word_bytes;
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

} // namespace SonivarACQ32::stream
