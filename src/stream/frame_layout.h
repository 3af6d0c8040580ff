#pragma once
// Where each channel stands in a frame of a recording's raw stream. A frame
// is nb_voies 32-bit little-endian words: the counter first when it was
// acquired, the active microphones in ascending global index, and the status
// word last when it was acquired (the unit appends it after the microphones).
#include "recording/header_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::stream {

struct FrameLayout {
    int nb_voies = 0;
    bool counter = false;
    bool status = false;
    std::vector<int> micros;  // global indices (8 x beam + microphone), ascending
    bool is_float = false;    // float32 samples, else int32

    std::size_t frame_bytes() const { return nb_voies > 0 ? 4u * static_cast<std::size_t>(nb_voies) : 0; }
    int micro_word(std::size_t i) const { return (counter ? 1 : 0) + static_cast<int>(i); }
    int status_word() const { return status ? nb_voies - 1 : -1; }
    // The frame has a word for the counter (when on) and every microphone.
    bool holds_micros() const
    {
        return nb_voies >= static_cast<int>(micros.size()) + (counter ? 1 : 0);
    }
};

// A frame one word longer than the counter and the microphones need ends
// with the status word.
inline bool has_status_word(int nb_voies, std::size_t micros, bool counter)
{
    return nb_voies == static_cast<int>(micros) + (counter ? 1 : 0) + 1;
}

// The layout of a live run: `nb_voies` words, the counter first when it is
// on, the acquired microphones (global indices, ascending) after it, the
// status word last when the frame has room for it.
FrameLayout live_layout(int nb_voies, bool counter, const std::vector<int>& micros, bool is_float);

// The active microphones of the record's map (128 beams of 8), ascending.
std::vector<int> active_micros(const SonivarACQ32::type_header_file& header);

struct LayoutResult {
    std::optional<FrameLayout> layout;
    std::string error;  // why the words per frame do not fit the header
};

// The frame layout of a recording whose description says `nb_voies` words per
// frame: the microphones and the counter come from the header; one word more
// than they need is the status word; any other count is inconsistent.
LayoutResult derive_layout(const SonivarACQ32::type_header_file& header, long long nb_voies);

// The word of each microphone in `wanted` (global indices), in the order of
// `wanted`; nullopt when one of them was not recorded.
std::optional<std::vector<int>> words_of(const FrameLayout& layout, const std::vector<int>& wanted);

} // namespace SonivarACQ32::stream
