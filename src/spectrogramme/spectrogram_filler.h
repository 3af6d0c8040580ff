#pragma once
// A recording's spectrogram filled on a thread of its own, stretch after
// stretch of columns, each stretch handed on as it is done, so that the
// window shows it filling and never waits; a new start or the filler's end
// stops the one under way.
#include "map/geometry.h"
#include "spectrum/spectrogram.h"
#include "stream/recording.h"
#include "stream/samples.h"

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace SonivarACQ32 {

// What the spectrogram pictures: the mean of the microphones, one of them
// (its place among the recording's), or the sound of a point.
struct SourceSpectrogramme {
    int channel = -1;
    std::optional<acoustic_map::Position> point;
    acoustic_map::Geometry geometry;  // with a point
};

class SpectrogramFiller {
public:
    // Columns [first, first + count) of the spectrogram started, their
    // powers (count x spectrogram_bins); `error` when it stopped early. On
    // the filler's thread.
    using Ready = std::function<void(int first, std::vector<float> columns, const std::string& error)>;

    ~SpectrogramFiller() { stop(); }
    // The whole of `recording` with `grid` (its columns from the start).
    void start(std::shared_ptr<const stream::Recording> recording, const spectrum::SpectrogramGrid& grid,
               const stream::Calibration& factors, const SourceSpectrogramme& source, Ready ready);
    void stop();

private:
    std::jthread thread_;
};

} // namespace SonivarACQ32
