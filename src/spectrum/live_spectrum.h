#pragma once
// The live spectrum's computation, apart from any thread or window: pieces
// of the run's stream come in, the auto-spectrum of every acquired
// microphone over the newest stretch goes out, from the cross-spectra
// stage the map takes too (auto-spectra alone: no matrix is made).
#include "spectra/csm.h"
#include "stream/frame_layout.h"
#include "stream/levels.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"
#include "stream/stream_tail.h"
#include "stream/tail_computation.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::spectrum {

struct SpectrumJob {
    stream::FrameLayout layout;
    double sample_rate = 0.0;
    // Pascal per count of each microphone; without it, powers in full scale.
    std::optional<stream::Calibration> calibration;
};

struct SpectrumOutcome {
    bool valid = false;
    std::string status;         // why there is no spectrum (French), empty otherwise
    std::uint64_t made = 0;     // pieces that got a spectrum of their own
    std::uint64_t skipped = 0;  // pieces that did not
    // Every microphone's auto-spectrum (microphones x bins, powers in the
    // unit's square), in the layout's channel order.
    std::vector<double> auto_spectra;
    int microphones = 0;
    double sample_rate = 0.0;
    stream::LevelUnit unit = stream::LevelUnit::dbfs;
    double new_seconds = 0.0;  // of data not in the outcome before
    std::uint64_t stream_position = 0;
    std::uint64_t stream_end = 0;
};

// The computation a feed worker runs for the spectrum window
// (feed/stream_worker.h): each outcome covers the last transfer's worth of
// frames, at most a second, its blocks ending on the newest frame.
class LiveSpectrum : public stream::TailComputation<LiveSpectrum, SpectrumOutcome> {
public:
    using Job = SpectrumJob;
    using Outcome = SpectrumOutcome;

    void set_job(const SpectrumJob& job);

private:
    friend class stream::TailComputation<LiveSpectrum, SpectrumOutcome>;
    SpectrumOutcome outcome(std::uint64_t made, std::uint64_t skipped);
    std::size_t window() const;

    SpectrumJob job_;
    stream::Calibration factors_;
    bool configured_ = false;
    std::string problem_;
    acoustic_map::CrossSpectra spectra_;
    std::vector<float> decoded_;
};

} // namespace SonivarACQ32::spectrum
