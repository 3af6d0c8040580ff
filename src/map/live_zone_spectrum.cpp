#include "map/live_zone_spectrum.h"

namespace SonivarACQ32::acoustic_map {

std::size_t LiveZoneSpectrum::window() const
{
    return stream::window_frames(zone_spectrum_window_s, job_.sample_rate, job_.layout, block_frames);
}

void LiveZoneSpectrum::set_job(const MapJob& job)
{
    job_ = job;
    job_.settings.unit = stream::unit_of(job.calibration);
    factors_ = stream::sample_factors(job.calibration, job.layout.is_float);
    tail_.set_layout(job.layout, window());
    configured_ = false;
}

// The last window's matrices over every band's bins, then each band's map
// and its zones.
ZoneSpectrumOutcome LiveZoneSpectrum::outcome(std::uint64_t made, std::uint64_t skipped)
{
    ZoneSpectrumOutcome out;
    out.skipped = skipped + made;
    out.unit = job_.settings.unit;
    out.a_weighted = job_.settings.a_weighted;
    if (!configured_) {
        configured_ = true;
        const auto mics = placed_microphones(job_.geometry, job_.layout.micros);
        problem_ = job_.zones.empty() ? "Aucune zone" : beamformer_.configure(mics, job_.sample_rate, job_.settings);
        if (problem_.empty())
            problem_ = wide_.configure(static_cast<int>(mics.size()), zone_spectrum_bins(job_.sample_rate));
    }
    out.status = problem_;
    if (!problem_.empty())
        return out;
    const stream::TailFrames last = tail_.last_frames(window(), factors_, decoded_);
    const std::size_t lead = frames_before_blocks(last.frames), n = job_.layout.micros.size();
    wide_.reset();
    if (wide_.add_frames(decoded_.data() + lead * n, last.frames - lead) == 0 || !wide_.fold(0.0)) {
        out.status = "Paquet trop court pour un spectre";
        return out;
    }
    out.spectrum = zone_spectrum(wide_, beamformer_.zone_setting(), job_.zones, job_.settings.a_weighted);
    out.zones = job_.zones;
    out.valid = !out.spectrum.frequencies.empty();
    out.made = made;
    out.skipped = skipped;
    return out;
}

} // namespace SonivarACQ32::acoustic_map
