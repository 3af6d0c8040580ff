#include "spectrum/live_spectrum.h"

#include <algorithm>

namespace SonivarACQ32::spectrum {

namespace am = acoustic_map;

std::size_t LiveSpectrum::window() const
{
    return stream::window_frames(0.0, job_.sample_rate, job_.layout, am::block_frames);
}

void LiveSpectrum::set_job(const SpectrumJob& job)
{
    job_ = job;
    factors_ = stream::sample_factors(job.calibration, job.layout.is_float);
    tail_.set_layout(job.layout, window());
    configured_ = false;
}

// The auto-spectra of the last window, its blocks ending on the newest frame.
SpectrumOutcome LiveSpectrum::outcome(std::uint64_t made, std::uint64_t skipped)
{
    SpectrumOutcome out;
    out.skipped = skipped;
    out.unit = stream::unit_of(job_.calibration);
    if (!configured_) {
        configured_ = true;
        problem_ = !(job_.sample_rate > 0.0) ? "Fréquence d'échantillonnage inconnue"
                                             : spectra_.configure(static_cast<int>(job_.layout.micros.size()), {});
    }
    if (!problem_.empty()) {
        out.status = problem_;
        out.skipped += made;
        return out;
    }
    const stream::TailFrames last = tail_.last_frames(window(), factors_, decoded_);
    out.stream_position = last.stream_position;
    out.stream_end = last.stream_end;
    out.new_seconds = static_cast<double>(last.new_frames) / job_.sample_rate;
    const std::size_t lead = am::frames_before_blocks(last.frames);
    const std::size_t n = job_.layout.micros.size();
    out.valid = spectra_.add_frames(decoded_.data() + lead * n, last.frames - lead) > 0 && spectra_.fold(0.0);
    if (!out.valid) {
        out.status = "Paquet trop court pour un spectre";
        out.skipped += made;
        return out;
    }
    out.made = made;
    out.auto_spectra = spectra_.auto_spectra();
    out.microphones = spectra_.microphones();
    out.sample_rate = job_.sample_rate;
    return out;
}

} // namespace SonivarACQ32::spectrum
