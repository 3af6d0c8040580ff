#pragma once
// Picks the words of chosen channels out of whole frames, channel after
// channel within each output frame (interleaved, as sound files hold them).
#include "stream/samples.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace SonivarACQ32::stream {

inline bool consecutive(const std::vector<int>& words)
{
    for (std::size_t c = 1; c < words.size(); ++c)
        if (words[c] != words[0] + static_cast<int>(c))
            return false;
    return true;
}

// The raw 32-bit words of the chosen channels, unchanged (int32 or float bits).
template <typename Out>
void gather_words(const std::uint32_t* frames, std::size_t count, std::size_t nb_voies,
                  const std::vector<int>& words, Out* out)
{
    static_assert(sizeof(Out) == 4);
    const std::size_t channels = words.size();
    if (channels > 0 && consecutive(words)) {
        // The usual export: every microphone, side by side in the frame.
        for (std::size_t f = 0; f < count; ++f)
            std::memcpy(out + f * channels, frames + f * nb_voies + words[0], 4 * channels);
        return;
    }
    for (std::size_t f = 0; f < count; ++f) {
        const std::uint32_t* frame = frames + f * nb_voies;
        Out* row = out + f * channels;
        for (std::size_t c = 0; c < channels; ++c)
            std::memcpy(row + c, frame + words[c], 4);
    }
}

// The chosen channels as float values in the units of the data (see
// sample_value), each multiplied by its factor when `factors` is given.
inline void gather_as_float(const std::uint32_t* frames, std::size_t count, std::size_t nb_voies,
                            const std::vector<int>& words, bool samples_are_float, float* out,
                            const float* factors = nullptr)
{
    const std::size_t channels = words.size();
    for (std::size_t f = 0; f < count; ++f) {
        const std::uint32_t* frame = frames + f * nb_voies;
        float* row = out + f * channels;
        for (std::size_t c = 0; c < channels; ++c)
            row[c] = sample_value(frame[words[c]], samples_are_float) * (factors ? factors[c] : 1.0f);
    }
}

} // namespace SonivarACQ32::stream
