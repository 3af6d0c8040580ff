#pragma once
// The live map's computation, apart from any thread or window: pieces of
// the run's stream come in, maps go out. The newest stretch of the run is
// kept (stream/stream_tail.h); each map is made over the last `window_s`
// seconds of it, its blocks ending on the newest frame, so that maps
// overlap and follow the stream as closely as the pieces come.
#include "map/beamformer.h"
#include "map/geometry.h"
#include "map/zones.h"
#include "stream/frame_layout.h"
#include "stream/levels.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"
#include "stream/stream_tail.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

using stream::StreamPiece;

// Everything a map depends on but the data.
struct MapJob {
    Settings settings;
    Geometry geometry;
    stream::FrameLayout layout;
    double sample_rate = 0.0;
    // Pascal per count of each microphone; without it, levels in dBFS.
    std::optional<stream::Calibration> calibration;
    // Seconds of stream behind each map (at least one FFT block); 0: one
    // transfer's worth of frames, at most a second.
    double window_s = 0.0;
    std::vector<Zone> zones;  // measured on each map
};

struct MapOutcome {
    bool valid = false;
    Map map;
    Settings settings;         // those the map was made with
    std::string status;        // why there is no map (French), empty otherwise
    std::uint64_t mapped = 0;  // pieces that got a map of their own
    std::uint64_t skipped = 0; // pieces that did not
    std::size_t blocks = 0;  // FFT blocks behind this outcome
    double new_seconds = 0.0;  // of data not in the outcome before
    // The stretch mapped: where it starts and ends in its stream (for a
    // recording's stretch, bytes of the data file).
    std::uint64_t stream_position = 0;
    std::uint64_t stream_end = 0;
    // The sources' power of each zone of the job (linear, the unit's
    // square), and the zones they are of.
    std::vector<Zone> zones;
    std::vector<double> zone_powers;
};

// How long the mean over time remembers: the previous average weighs
// `smoothing` once each window of new data has come, so the weights decay
// as e^(-t / memory) with memory = window / -ln(smoothing); a map without
// the mean holds its window alone.
double averaging_memory_s(double window_s, double smoothing);
// The map window's mean over time ("Moyenne sur les paquets").
constexpr double window_mean_smoothing = 0.8;

// Frames behind one map of `job`: its window, never less than one block.
inline std::size_t window_frames(const MapJob& job)
{
    return stream::window_frames(job.window_s, job.sample_rate, job.layout, block_frames);
}

// The computation a feed worker runs for the map window (feed/stream_worker.h).
class LiveMapper {
public:
    using Job = MapJob;
    using Outcome = MapOutcome;

    // The settings, geometry or run changed: the next map is made with them.
    void set_job(const MapJob& job);
    // Adds `pieces` (oldest first) to the stretch kept and maps its last
    // window once; the pieces beyond the first count as skipped. The
    // pieces' bytes may be reused by the caller afterwards.
    MapOutcome compute(std::vector<StreamPiece>& pieces);
    // The stretch kept mapped again with the job in force (a setting
    // changed while no data comes).
    MapOutcome recompute();
    // A stretch of a recording, read from its file, mapped on its own as the
    // piece of run `run`; it becomes the stretch kept.
    MapOutcome compute_slice(const stream::FileSlice& slice, std::uint64_t run);
    // Why the job in force makes no map (French); empty when it makes one.
    std::string job_problem() { return configure() ? std::string() : problem_; }

private:
    bool configure();
    MapOutcome outcome(std::uint64_t mapped, std::uint64_t skipped);
    MapOutcome refused(std::uint64_t skipped) const;  // the job makes no map: why
    double previous_weight(std::size_t new_frames, std::size_t window) const;

    MapJob job_;
    stream::Calibration factors_;  // as the samples become floats
    bool configured_ = false;
    std::string problem_;
    Beamformer beamformer_;
    ZoneMeter zone_meter_;
    stream::StreamTail tail_;
    std::vector<float> decoded_;
};

} // namespace SonivarACQ32::acoustic_map
