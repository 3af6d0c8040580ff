#include "map/live_mapper.h"

#include <algorithm>
#include <utility>

namespace SonivarACQ32::acoustic_map {

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
    carry_.clear();
    if (job_.spectra_only) {
        problem_ = beamformer_.configure_spectra(static_cast<int>(job_.layout.micros.size()), job_.sample_rate,
                                                 job_.settings);
        return problem_.empty();
    }
    problem_ = beamformer_.configure(placed_microphones(job_.geometry, job_.layout.micros), job_.sample_rate,
                                     job_.settings);
    return problem_.empty();
}

// The piece joined to the frames kept from the one before when it follows
// it in the same run, decoded and added block by block; what the last
// block has not used is kept for the next piece.
std::size_t LiveMapper::add_piece(const StreamPiece& piece)
{
    if (piece.run != run_) {
        run_ = piece.run;
        beamformer_.reset();
        carry_.clear();
    }
    const bool follows = !carry_.empty() && carry_position_ + carry_.size() == piece.stream_position;
    joined_.clear();
    std::uint64_t position = piece.stream_position;
    if (follows) {
        joined_.insert(joined_.end(), carry_.begin(), carry_.end());
        position = carry_position_;
    }
    joined_.insert(joined_.end(), piece.bytes.begin(), piece.bytes.end());
    const stream::FrameLayout& layout = job_.layout;
    const std::size_t count = stream::decode_frames(joined_.data(), joined_.size(), position, layout,
                                                    factors_, frames_);
    const std::size_t blocks = beamformer_.add_frames(frames_.data(), count);
    blocks_ += blocks;
    const std::size_t used_frames = blocks * hop_frames;
    const std::uint64_t keep_from =
        stream::first_frame_offset(position, layout) + used_frames * layout.frame_bytes();
    carry_.clear();
    if (count > 0 && keep_from < joined_.size()) {
        carry_.assign(joined_.begin() + static_cast<std::ptrdiff_t>(keep_from), joined_.end());
        carry_position_ = position + keep_from;
    }
    return blocks;
}

MapOutcome LiveMapper::map(std::vector<StreamPiece>& pieces)
{
    if (pieces.empty())
        return {};
    const std::uint64_t skipped = pieces.size() - 1;
    if (!configure())
        return refused(pieces.size());
    // Without the mean over packets each map is its own piece's: the older
    // ones are not read at all.
    const bool fold = job_.settings.smoothing > 0.0;
    for (std::size_t i = fold ? 0 : pieces.size() - 1; i < pieces.size(); ++i)
        add_piece(pieces[i]);
    std::swap(last_, pieces.back());
    return outcome(1, skipped);
}

MapOutcome LiveMapper::remap()
{
    if (last_.bytes.empty())
        return {};
    if (!configure())
        return refused(0);
    beamformer_.reset();
    carry_.clear();
    run_ = last_.run;
    add_piece(last_);
    return outcome(0, 0);
}

MapOutcome LiveMapper::map_slice(const stream::FileSlice& slice, std::uint64_t run)
{
    std::string error;
    if (!stream::read_slice(slice, last_.bytes, error)) {
        MapOutcome out;
        out.settings = job_.settings;
        out.status = error;
        return out;
    }
    last_.stream_position = slice.offset;
    last_.run = run;
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

MapOutcome LiveMapper::outcome(std::uint64_t mapped, std::uint64_t skipped)
{
    MapOutcome out;
    out.skipped = skipped;
    out.settings = job_.settings;
    out.blocks = std::exchange(blocks_, 0);
    out.stream_position = last_.stream_position;
    if (job_.spectra_only) {
        out.valid = beamformer_.fold_spectra();
        if (out.valid) {
            out.auto_spectra = beamformer_.spectra().auto_spectra();
            out.microphones = beamformer_.spectra().microphones();
            out.sample_rate = job_.sample_rate;
        }
    } else {
        out.valid = beamformer_.compute(out.map);
    }
    if (out.valid)
        out.mapped = mapped;
    else {
        out.status = beamformer_.spectra().has_average() ? beamformer_.why_no_map() : job_.spectra_only ? "Paquet trop court pour un spectre" : "Paquet trop court pour une carte";
        out.skipped += mapped;
    }
    return out;
}

} // namespace SonivarACQ32::acoustic_map
