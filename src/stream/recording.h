#pragma once
// A recording as the acquisition program leaves it: the raw ".dat", the
// ".Zv" header record and the ".log" description beside it, same base name.
#include "stream/description_reader.h"
#include "stream/frame_layout.h"
#include "stream/input_file.h"
#include "recording/header_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::stream {

struct Recording {
    std::string dat_path;
    std::string zv_path;
    std::string log_path;
    SonivarACQ32::type_header_file header{};
    Description description;
    FrameLayout layout;
    std::uint64_t dat_bytes = 0;  // the data file's length when it was loaded
    FileIdentity dat_id, zv_id, log_id;
};

// A description is 153 short lines and a comment of at most 1024 characters:
// a file much larger than that is not one.
constexpr std::uint64_t max_description_bytes = 1u << 20;

struct LoadResult {
    std::optional<Recording> recording;
    std::string error;  // French, for the operator
};

// Reads the header record and the description of `dat_path` and derives the
// frame layout: words per frame from the description's Nb_voies, everything
// else from the header record.
LoadResult load_recording(const std::string& dat_path);

// A run cut short (the program killed, the power lost) leaves the header it
// wrote at the start: no sample counted, while the data file holds frames.
// A stream cut inside a frame (the unit unplugged) leaves the header's
// frames followed by part of one.
bool is_interrupted(const Recording& recording);

// The operator's comment as UTF-8: the description's, which holds every
// character typed, else the header record's; trailing padding removed.
std::string recording_comment(const Recording& recording);

// The files a recording is read from: data, header, description.
std::vector<FileIdentity> input_identities(const Recording& recording);

// The companion of a data file (".Zv" or ".log" in place of ".dat" in the file
// name); empty when the file name has no ".dat".
std::string companion_of(const std::string& dat_path, const char* extension);

// The comment of the header record: Windows-1252 bytes up to the first NUL,
// trailing spaces removed, as UTF-8.
std::string header_comment(const SonivarACQ32::type_header_file& header);

// Windows-1252 text as UTF-8.
std::string windows1252_to_utf8(std::string_view text);

} // namespace SonivarACQ32::stream
