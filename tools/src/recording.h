#pragma once
// A recording as the acquisition program leaves it: the raw ".dat", the
// ".Zv" header record and the ".log" description beside it, same base name.
#include "description_reader.h"
#include "frame_layout.h"
#include "recording/header_record.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sonivar_dat {

struct Recording {
    std::string dat_path;
    std::string zv_path;
    std::string log_path;
    SonivarACQ32::type_header_file header{};
    Description description;
    FrameLayout layout;
    std::uint64_t dat_bytes = 0;
};

struct LoadResult {
    std::optional<Recording> recording;
    std::string error;  // French, for the operator
};

// Reads the header record and the description of `dat_path` and derives the
// frame layout: words per frame from the description's Nb_voies, everything
// else from the header record.
LoadResult load_recording(const std::string& dat_path);

// The companion of a data file (".Zv" or ".log" in place of ".dat" in the file
// name); empty when the file name has no ".dat".
std::string companion_of(const std::string& dat_path, const char* extension);

// The comment of the header record: Windows-1252 bytes up to the first NUL,
// trailing spaces removed, as UTF-8.
std::string header_comment(const SonivarACQ32::type_header_file& header);

// Windows-1252 text as UTF-8.
std::string windows1252_to_utf8(std::string_view text);

} // namespace sonivar_dat
