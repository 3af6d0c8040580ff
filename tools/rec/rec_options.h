#pragma once
// The sonivar-rec command line: what the operator would set in the window,
// as options, checked before anything is sent to the unit.
#include "acquisition/start_trigger.h"

#include <optional>
#include <string>
#include <vector>

namespace sonivar_rec {

// Exit statuses.
constexpr int exit_complete = 0;   // the run went to its end (or to the Stop asked for)
constexpr int exit_cut_short = 1;  // unit lost, disk, write or counter error, refused start
constexpr int exit_usage = 2;      // bad arguments: nothing was sent to the unit
constexpr int exit_no_unit = 3;    // no unit, or one that does not answer

struct RecOptions {
    std::string output;                 // the data file; empty with --no-file
    int freq_index = -1;                // entry of the frequency list; -1: the window's own
    std::optional<std::vector<int>> mics;  // global indices; none: the window's choice (all)
    bool counter = true;
    bool status = false;
    std::optional<double> duration;     // s; none: the window's (5 s) unless open-ended
    bool open_ended = false;
    bool is_float = false;
    SonivarACQ32::start_trigger::StartSource source = SonivarACQ32::start_trigger::StartSource::Soft;
    SonivarACQ32::start_trigger::TriggerMode mode = SonivarACQ32::start_trigger::TriggerMode::RisingEdge;
    std::optional<std::string> comment;
    bool stream = false;                // feed the PipeWire node while the run streams
    bool pascal = false;                // the node in pascal (needs a calibration)
    std::string calib;                  // calibration file
    bool replace = false;               // an existing recording of that name may be replaced
    bool help = false;
};

struct Parsed {
    std::optional<RecOptions> options;  // none: refused, `reason` says why (French)
    std::string reason;
};

// `args` without the program's name.
Parsed parse_rec_options(const std::vector<std::string>& args);
std::string help_text();

// "0-7,12,30-31" as global indices (0 to 31), ascending, each once; none
// when malformed or empty.
std::optional<std::vector<int>> parse_mic_list(const std::string& text);

} // namespace sonivar_rec
