#pragma once
// Recordings for the toolkit's tests, written with the acquisition program's
// own writers: the header record as the program fills it, the description
// text, and a raw stream of frames with a continuous counter.
#include "recording/header_record.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct RecordingPlan {
    std::vector<int> micros = {0, 1, 2, 3, 4, 5, 6, 7};  // global indices, ascending
    bool counter = true;
    bool status = false;
    std::uint32_t frames = 1000;
    float freq = 50000.0f;
    bool is_float = false;
    std::uint32_t first_counter = 0;
    std::string comment;  // UTF-8; empty: no comment ever closed
    // Companions as a run writes them at its start (no sample counted, no
    // duration) while the frames are in the data file: a run cut short.
    bool interrupted = false;

    int nb_voies() const
    {
        return static_cast<int>(micros.size()) + (counter ? 1 : 0) + (status ? 1 : 0);
    }
};

// The sample of microphone `mic` at frame `frame`, as raw 32-bit word: distinct
// for every microphone and frame, negative values included.
std::uint32_t sample_word(int mic, std::uint64_t frame, bool is_float);

// The words of the stream (counter first, microphones, status last).
std::vector<std::uint32_t> stream_words(const RecordingPlan& plan);

SonivarACQ32::type_header_file header_for(const RecordingPlan& plan);

// Writes NAME.dat, NAME.Zv and NAME.log in `dir`; returns the ".dat" path.
std::filesystem::path write_recording(const std::filesystem::path& dir, const std::string& name,
                                      const RecordingPlan& plan);
std::filesystem::path write_recording(const std::filesystem::path& dir, const std::string& name,
                                      const RecordingPlan& plan,
                                      const std::vector<std::uint32_t>& words);

std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path);
void write_bytes(const std::filesystem::path& path, const void* data, std::size_t size);

// A fresh folder under the system's temporary folder, removed at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace testsupport
