#pragma once
// Export of a recording's microphone channels to sound and analysis files.
// The counter and status words are left out.
#include "stream_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonivar_dat {

class Progress;

struct ExportRequest {
    std::string wav_path;    // empty: no WAV
    std::string hdf5_path;   // empty: no HDF5
    std::vector<int> micros; // global indices, ascending; empty: every active microphone
    std::string geometry_path; // microphone positions for the HDF5 file; empty: none
    std::string calibration_path; // the 32 microphones' factors; empty: none
};

struct ExportResult {
    std::uint64_t frames = 0;
    std::size_t channels = 0;
    bool rf64 = false;
    bool refused = false;  // an output named one of the inputs or a special file
    std::string error;     // empty on success
    std::string calibration_path;  // the exported columns' factors, written beside
};

// Where an export's calibration goes: beside its first output, the
// extension replaced by ".calib.xml"; empty without a calibration.
std::string calibration_output(const ExportRequest& request);

// "0,3,8-15": global microphone indices, sorted and without repeats;
// nullopt with `error` set when the text is not such a list.
std::optional<std::vector<int>> parse_channel_list(std::string_view text, std::string& error);

ExportResult export_recording(const Recording& recording, const ExportRequest& request,
                              Progress& progress);

} // namespace sonivar_dat
