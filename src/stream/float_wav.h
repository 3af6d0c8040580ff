#pragma once
// A float WAV's header: fmt with its extension size (0), as every reader
// expects of a format other than PCM (libsndfile leaves it out, and sox
// then warns of a "missing extended part of fmt chunk"), a fact chunk with
// the frames, then the data. Written first with no frames, and again once
// the frames are known.
#include <array>
#include <cstddef>
#include <cstdint>

namespace SonivarACQ32::stream {

constexpr std::size_t float_header_bytes = 12 + 26 + 12 + 8;

std::array<unsigned char, float_header_bytes> float_wav_header(std::size_t channels, int rate, std::uint64_t frames);

} // namespace SonivarACQ32::stream
