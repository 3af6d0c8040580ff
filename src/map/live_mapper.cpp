#include "map/live_mapper.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace SonivarACQ32::acoustic_map {

double averaging_memory_s(double window_s, double smoothing)
{
    return smoothing > 0.0 && smoothing < 1.0 ? window_s / -std::log(smoothing) : window_s;
}

void LiveMapper::set_job(const MapJob& job)
{
    job_ = job;
    job_.settings.unit = stream::unit_of(job.calibration);
    factors_ = stream::sample_factors(job.calibration, job.layout.is_float);
    tail_.set_layout(job.layout, window_frames(job));
    configured_ = false;
}

bool LiveMapper::configure()
{
    if (configured_)
        return problem_.empty();
    configured_ = true;
    problem_ = beamformer_.configure(placed_microphones(job_.geometry, job_.layout.micros), job_.sample_rate,
                                     job_.settings);
    zone_meter_.set(beamformer_.zone_setting(), beamformer_.steering());
    return problem_.empty();
}

MapOutcome LiveMapper::compute(std::vector<StreamPiece>& pieces)
{
    if (pieces.empty())
        return {};
    for (const StreamPiece& piece : pieces)
        if (tail_.add(piece))
            beamformer_.reset();
    const std::uint64_t skipped = pieces.size() - 1;
    if (!configure())
        return refused(pieces.size());
    return outcome(1, skipped);
}

MapOutcome LiveMapper::recompute()
{
    if (tail_.empty())
        return {};
    if (!configure())
        return refused(0);
    beamformer_.reset();
    return outcome(0, 0);
}

MapOutcome LiveMapper::compute_slice(const stream::FileSlice& slice, std::uint64_t run)
{
    std::string error;
    if (!tail_.load(slice, run, error)) {
        MapOutcome out;
        out.settings = job_.settings;
        out.status = error;
        return out;
    }
    MapOutcome out = recompute();
    out.mapped = out.valid ? 1 : 0;
    return out;
}

MapOutcome LiveMapper::refused(std::uint64_t skipped) const
{
    MapOutcome out;
    out.settings = job_.settings;
    out.status = problem_;
    out.skipped = skipped;
    return out;
}

// With a mean over time, the average kept weighs `smoothing` once a whole
// window of new data has come, less when less has: the mean's memory is
// the same however often maps are made.
double LiveMapper::previous_weight(std::size_t new_frames, std::size_t window) const
{
    const double smoothing = job_.settings.smoothing;
    if (!(smoothing > 0.0) || window == 0)
        return 0.0;
    const double new_windows = static_cast<double>(new_frames) / static_cast<double>(window);
    return std::pow(smoothing, std::max(new_windows, 1e-3));
}

// The last window of whole frames, its blocks ending on the newest frame.
MapOutcome LiveMapper::outcome(std::uint64_t mapped, std::uint64_t skipped)
{
    MapOutcome out;
    out.skipped = skipped;
    out.settings = job_.settings;
    const std::size_t window = window_frames(job_);
    const stream::TailFrames last = tail_.last_frames(window, factors_, decoded_);
    out.stream_position = last.stream_position;
    out.stream_end = last.stream_end;
    out.new_seconds = job_.sample_rate > 0.0 ? static_cast<double>(last.new_frames) / job_.sample_rate : 0.0;
    const std::size_t n = job_.layout.micros.size();
    const std::size_t lead = frames_before_blocks(last.frames);
    beamformer_.set_smoothing(previous_weight(last.new_frames, window));
    out.blocks = beamformer_.add_frames(decoded_.data() + lead * n, last.frames - lead);
    out.valid = out.blocks > 0 && beamformer_.compute(out.map);
    if (out.valid) {
        out.mapped = mapped;
        out.zones = job_.zones;
        if (!job_.zones.empty())
            out.zone_powers = zone_meter_.powers(beamformer_.powers(), beamformer_.spectra(), job_.zones);
        return out;
    }
    out.status = out.blocks > 0 ? beamformer_.why_no_map() : "Paquet trop court pour une carte";
    out.skipped += mapped;
    return out;
}

} // namespace SonivarACQ32::acoustic_map
