#pragma once
// Verification of a recording's raw data: the counter of every frame, and
// the file length against the header's sample count.
#include "counter_scan.h"
#include "stream_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sonivar_dat {

struct CheckReport {
    std::uint64_t file_bytes = 0;
    std::uint64_t frames = 0;          // complete frames in the file
    std::uint64_t tail_bytes = 0;      // bytes of an incomplete last frame
    std::uint32_t header_frames = 0;   // nb_ech of the header record
    bool counter = false;              // the counter could be verified
    bool interrupted = false;          // header written at the start of a run cut short
    std::vector<CounterGap> gaps;      // the first ones, in file order
    std::uint64_t gap_count = 0;
    std::uint64_t frames_lost = 0;
    std::string read_error;

    bool length_ok() const
    {
        return tail_bytes == 0 && static_cast<std::uint32_t>(frames) == header_frames &&
               frames <= UINT32_MAX;
    }
    bool whole() const { return read_error.empty() && gap_count == 0 && length_ok(); }
};

class Progress;

CheckReport check_recording(const Recording& recording, Progress& progress);

} // namespace sonivar_dat
