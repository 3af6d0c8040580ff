#pragma once
// The zones' third-octave spectra from the stream in flight, apart from
// any thread or window: the map's job (its method, grid, geometry and
// zones) over the newest second of the run, or a stretch of a recording.
// A computation for a feed worker (feed/stream_worker.h), beside the map's.
#include "map/live_mapper.h"
#include "map/zone_spectrum.h"
#include "stream/tail_computation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

constexpr double zone_spectrum_window_s = 1.0;  // of stream behind each spectrum, at most

struct ZoneSpectrumOutcome {
    bool valid = false;
    std::string status;  // why there is none (French)
    std::uint64_t made = 0;
    std::uint64_t skipped = 0;
    ZoneSpectrum spectrum;  // power[band][zone]
    std::vector<Zone> zones;
    stream::LevelUnit unit = stream::LevelUnit::dbfs;
    bool a_weighted = false;
};

class LiveZoneSpectrum : public stream::TailComputation<LiveZoneSpectrum, ZoneSpectrumOutcome> {
public:
    using Job = MapJob;
    using Outcome = ZoneSpectrumOutcome;

    void set_job(const MapJob& job);

private:
    friend class stream::TailComputation<LiveZoneSpectrum, ZoneSpectrumOutcome>;
    ZoneSpectrumOutcome outcome(std::uint64_t made, std::uint64_t skipped);
    std::size_t window() const;

    MapJob job_;
    stream::Calibration factors_;
    bool configured_ = false;
    std::string problem_;
    Beamformer beamformer_;  // its settings, steering and zone setting
    CrossSpectra wide_;      // every band's bins
    std::vector<float> decoded_;
};

} // namespace SonivarACQ32::acoustic_map
