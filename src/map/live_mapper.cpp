#include "map/live_mapper.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace SonivarACQ32::acoustic_map {

std::size_t window_frames(const MapJob& job)
{
    const std::uint64_t frame = job.layout.frame_bytes();
    std::size_t frames = 0;
    if (job.window_s > 0.0 && job.sample_rate > 0.0)
        frames = static_cast<std::size_t>(std::llround(job.window_s * job.sample_rate));
    else if (frame > 0)
        frames = std::min(static_cast<std::size_t>(stream::packet_bytes / frame),
                          static_cast<std::size_t>(job.sample_rate * default_window_longest_s));
    return std::max<std::size_t>(frames, block_frames);
}

void LiveMapper::set_job(const MapJob& job)
{
    job_ = job;
    job_.settings.unit = stream::unit_of(job.calibration);
    factors_ = stream::sample_factors(job.calibration, job.layout.is_float);
    configured_ = false;
}

bool LiveMapper::configure()
{
    if (configured_)
        return problem_.empty();
    configured_ = true;
    if (job_.spectra_only) {
        problem_ = beamformer_.configure_spectra(static_cast<int>(job_.layout.micros.size()), job_.sample_rate,
                                                 job_.settings);
        return problem_.empty();
    }
    problem_ = beamformer_.configure(placed_microphones(job_.geometry, job_.layout.micros), job_.sample_rate,
                                     job_.settings);
    return problem_.empty();
}

void LiveMapper::forget_stream()
{
    tail_.clear();
    new_bytes_ = 0;
    beamformer_.reset();
}

// The piece joins the stretch kept when it follows it in the same run;
// otherwise the stretch starts again from it. Only the last window (and the
// frame it has not finished) is kept.
void LiveMapper::add_piece(const StreamPiece& piece)
{
    if (piece.run != run_ || tail_position_ + tail_.size() != piece.stream_position) {
        run_ = piece.run;
        forget_stream();
        tail_position_ = piece.stream_position;
    }
    tail_.insert(tail_.end(), piece.bytes.begin(), piece.bytes.end());
    new_bytes_ += piece.bytes.size();
    const std::uint64_t frame = job_.layout.frame_bytes();
    const std::size_t keep = (window_frames(job_) + 2) * static_cast<std::size_t>(frame);
    // Trimmed in steps, so that the bytes move seldom.
    if (frame > 0 && tail_.size() > keep + std::max<std::size_t>(keep / 4, stream::packet_bytes)) {
        const std::size_t drop = tail_.size() - keep;
        tail_.erase(tail_.begin(), tail_.begin() + static_cast<std::ptrdiff_t>(drop));
        tail_position_ += drop;
    }
}

MapOutcome LiveMapper::map(std::vector<StreamPiece>& pieces)
{
    if (pieces.empty())
        return {};
    for (const StreamPiece& piece : pieces)
        add_piece(piece);
    const std::uint64_t skipped = pieces.size() - 1;
    if (!configure())
        return refused(pieces.size());
    return outcome(1, skipped);
}

MapOutcome LiveMapper::remap()
{
    if (tail_.empty())
        return {};
    if (!configure())
        return refused(0);
    beamformer_.reset();
    return outcome(0, 0);
}

MapOutcome LiveMapper::map_slice(const stream::FileSlice& slice, std::uint64_t run)
{
    std::string error;
    if (!stream::read_slice(slice, tail_, error)) {
        MapOutcome out;
        out.settings = job_.settings;
        out.status = error;
        return out;
    }
    tail_position_ = slice.offset;
    run_ = run;
    new_bytes_ = tail_.size();
    MapOutcome out = remap();
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
double LiveMapper::previous_weight(std::size_t window) const
{
    const double smoothing = job_.settings.smoothing;
    const std::uint64_t frame = job_.layout.frame_bytes();
    if (!(smoothing > 0.0) || frame == 0 || window == 0)
        return 0.0;
    const double new_windows = static_cast<double>(new_bytes_ / frame) / static_cast<double>(window);
    return std::pow(smoothing, std::max(new_windows, 1e-3));
}

// The last window of whole frames, its blocks ending on the newest frame.
MapOutcome LiveMapper::outcome(std::uint64_t mapped, std::uint64_t skipped)
{
    MapOutcome out;
    out.skipped = skipped;
    out.settings = job_.settings;
    const stream::FrameLayout& layout = job_.layout;
    const std::uint64_t frame = layout.frame_bytes();
    const std::uint64_t first = stream::first_frame_offset(tail_position_, layout);
    const std::size_t whole = frame == 0 || tail_.size() <= first ? 0 : (tail_.size() - first) / frame;
    const std::size_t window = window_frames(job_);
    const std::size_t from = whole > window ? whole - window : 0;
    const std::uint64_t start = first + from * frame;
    const std::size_t count = stream::decode_frames(tail_.data() + start, (whole - from) * frame,
                                                    tail_position_ + start, layout, factors_, decoded_);
    out.stream_position = tail_position_ + start;
    out.stream_end = out.stream_position + count * frame;
    out.new_seconds = job_.sample_rate > 0.0 && frame > 0
                          ? static_cast<double>(std::min<std::uint64_t>(new_bytes_ / frame, count)) / job_.sample_rate
                          : 0.0;
    const std::size_t n = layout.micros.size();
    const std::size_t blocks = count >= block_frames ? (count - block_frames) / hop_frames + 1 : 0;
    const std::size_t lead = count - (blocks == 0 ? count : (blocks - 1) * hop_frames + block_frames);
    beamformer_.set_smoothing(previous_weight(window));
    out.blocks = beamformer_.add_frames(decoded_.data() + lead * n, count - lead);
    new_bytes_ = 0;
    if (job_.spectra_only) {
        out.valid = out.blocks > 0 && beamformer_.fold_spectra();
        if (out.valid) {
            out.auto_spectra = beamformer_.spectra().auto_spectra();
            out.microphones = beamformer_.spectra().microphones();
            out.sample_rate = job_.sample_rate;
        }
    } else {
        out.valid = out.blocks > 0 && beamformer_.compute(out.map);
    }
    if (out.valid) {
        out.mapped = mapped;
        return out;
    }
    out.status = out.blocks > 0 ? beamformer_.why_no_map()
                 : job_.spectra_only ? "Paquet trop court pour un spectre"
                                     : "Paquet trop court pour une carte";
    out.skipped += mapped;
    return out;
}

} // namespace SonivarACQ32::acoustic_map
