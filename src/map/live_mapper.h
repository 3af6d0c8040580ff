#pragma once
// The live map's computation, apart from any thread or window: pieces of
// the run's stream come in, maps go out. Contiguous pieces are read as one
// stream (a frame cut between two pieces is not lost) and kept, decoded,
// as the newest stretch of the run; each map is made over the last
// `window_s` seconds of that stretch, its blocks ending on the newest frame,
// so that maps overlap and follow the stream as closely as the pieces come.
// A piece of a new run, or one that does not follow the last, starts afresh.
#include "map/beamformer.h"
#include "map/geometry.h"
#include "stream/frame_layout.h"
#include "stream/levels.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"
#include "stream/stream_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

// A piece of the stream as the mapper keeps it (its own copy of the bytes).
struct StreamPiece {
    std::vector<unsigned char> bytes;
    std::uint64_t stream_position = 0;
    std::uint64_t run = 0;
};

// Everything a map depends on but the data.
struct MapJob {
    Settings settings;
    Geometry geometry;
    stream::FrameLayout layout;
    double sample_rate = 0.0;
    // Pascal per count of each microphone; without it, levels in dBFS.
    std::optional<stream::Calibration> calibration;
    // The auto-spectra of every acquired microphone, and no map.
    bool spectra_only = false;
    // Seconds of stream behind each map (at least one FFT block); 0: one
    // transfer's worth of frames, at most a second.
    double window_s = 0.0;
};

struct MapOutcome {
    bool valid = false;
    Map map;
    Settings settings;         // those the map was made with
    std::string status;        // why there is no map (French), empty otherwise
    std::uint64_t mapped = 0;  // pieces that got a map of their own
    std::uint64_t skipped = 0; // pieces that did not
    // For a job of spectra only: every microphone's auto-spectrum
    // (microphones x bins, powers in the unit's square), and the rate.
    std::vector<double> auto_spectra;
    int microphones = 0;
    double sample_rate = 0.0;
    std::size_t blocks = 0;  // FFT blocks behind this outcome
    double new_seconds = 0.0;  // of data not in the outcome before
    // The stretch mapped: where it starts and ends in its stream (for a
    // recording's stretch, bytes of the data file).
    std::uint64_t stream_position = 0;
    std::uint64_t stream_end = 0;
};

constexpr double default_window_longest_s = 1.0;

// Frames behind one map of `job`: its window, never less than one block.
std::size_t window_frames(const MapJob& job);

class LiveMapper {
public:
    // The settings, geometry or run changed: the next map is made with them.
    void set_job(const MapJob& job);
    // Adds `pieces` (oldest first) to the stretch kept and maps its last
    // window once; the pieces beyond the first count as skipped. The
    // pieces' bytes may be reused by the caller afterwards.
    MapOutcome map(std::vector<StreamPiece>& pieces);
    // The stretch kept mapped again with the job in force (a setting
    // changed while no data comes).
    MapOutcome remap();
    // A stretch of a recording, read from its file, mapped on its own as the
    // piece of run `run`; it becomes the stretch kept.
    MapOutcome map_slice(const stream::FileSlice& slice, std::uint64_t run);

private:
    bool configure();
    void forget_stream();
    void add_piece(const StreamPiece& piece);
    MapOutcome outcome(std::uint64_t mapped, std::uint64_t skipped);
    MapOutcome refused(std::uint64_t skipped) const;  // the job makes no map: why
    double previous_weight(std::size_t window) const;

    MapJob job_;
    stream::Calibration factors_;  // as the samples become floats
    bool configured_ = false;
    std::string problem_;
    Beamformer beamformer_;
    std::uint64_t run_ = 0;
    // The newest bytes of the stream, contiguous, from `tail_position_` on.
    std::vector<unsigned char> tail_;
    std::uint64_t tail_position_ = 0;
    std::uint64_t new_bytes_ = 0;  // added since the last outcome
    std::vector<float> decoded_;
};

} // namespace SonivarACQ32::acoustic_map
