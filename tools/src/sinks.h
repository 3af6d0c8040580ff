#pragma once
// Output files of an export: a multichannel WAV (WAVE_FORMAT_EXTENSIBLE past
// two channels, RF64 past 4 GiB) through libsndfile, and an HDF5 file
// holding a `time_data` dataset of samples x channels in float32 with the
// recording's facts as attributes, through libhdf5.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sonivar_dat {

// Whether the sample data of a WAV needs the RF64 form (a plain WAV's sizes
// are 32-bit, header included).
bool wav_needs_rf64(std::uint64_t frames, std::size_t channels);

// The libsndfile format of an export: RF64 when needed, else the extensible
// WAV form for more than two channels (its channel count and sample size
// are unambiguous to every reader), else the plain one.
int wav_format(std::size_t channels, bool samples_are_float, bool rf64);

class WavSink {
public:
    WavSink();
    ~WavSink();
    // Creates `path` for `channels` channels of 32-bit int or float samples.
    bool open(const std::string& path, std::size_t channels, int sample_rate, bool samples_are_float,
              bool rf64, std::string& error);
    // Interleaved frames of 32-bit little-endian words: int32 or float, as opened.
    bool write(const void* frames, std::size_t count, std::string& error);
    bool close(std::string& error);

private:
    struct File;
    std::unique_ptr<File> file_;
};

// What the HDF5 file says of the samples besides their values.
struct Hdf5Facts {
    double sample_freq = 0;         // Hz, the unit's exact clock
    std::vector<int> microphones;   // global index of each column
    std::string sample_type;        // "int32" or "float32", as recorded
    std::string comment;            // UTF-8
    std::string start_time;         // ISO 8601, local time
};

class Hdf5Sink {
public:
    Hdf5Sink();
    ~Hdf5Sink();
    // Creates `path` with a `time_data` dataset of frames x microphones.
    bool open(const std::string& path, std::uint64_t frames, const Hdf5Facts& facts,
              std::string& error);
    // `microphone_positions` (attribute of time_data and dataset of
    // /metadata): 3 x channels float64, metres, from `xyz` (x, y, z of each
    // channel, row after row).
    bool add_positions(const std::vector<double>& xyz, std::string& error);
    // Each column's factor to `unit` (pascal per unit of the data).
    bool add_calibration(const std::vector<double>& factors, const std::string& unit, std::string& error);
    // The next `count` rows, interleaved.
    bool write(const float* rows, std::size_t count, std::string& error);
    bool close(std::string& error);

private:
    struct File;
    std::unique_ptr<File> file_;
};

} // namespace sonivar_dat
