#include "spectrogramme/spectrogram_filler.h"

#include "map/focused_recording.h"
#include "stream/frame_blocks.h"
#include "stream/recording_slice.h"

namespace SonivarACQ32 {

namespace {

constexpr int stretch_columns = 64;  // between two pictures of it filling

} // namespace

void SpectrogramFiller::start(std::shared_ptr<const stream::Recording> recording,
                              const spectrum::SpectrogramGrid& grid, const stream::Calibration& factors,
                              const SourceSpectrogramme& source, Ready ready)
{
    stop();
    thread_ = std::jthread([recording, grid, factors, source, ready](std::stop_token stop) {
        const stream::FrameRange range{0, grid.frames};
        const stream::BlockReader read =
            source.point ? acoustic_map::focused_blocks(*recording, source.geometry, *source.point, range, factors)
                         : stream::recording_blocks(*recording, range, factors);
        const int channels = source.point ? 1 : static_cast<int>(recording->layout.micros.size());
        spectrum::Spectrogram d = spectrum::empty_spectrogram(grid, 0.0, stream::LevelUnit::dbfs);
        while (d.done < grid.columns() && !stop.stop_requested()) {
            const int first = d.done;
            const std::string error = spectrum::fill_columns(d, channels, source.point ? 0 : source.channel, read,
                                                             first + stretch_columns);
            const auto from = d.power.begin() + static_cast<std::ptrdiff_t>(first) * spectrum::spectrogram_bins;
            ready(first, std::vector<float>(from, d.power.begin() + static_cast<std::ptrdiff_t>(d.done) *
                                                                      spectrum::spectrogram_bins),
                  error);
            if (!error.empty())
                return;
        }
    });
}

void SpectrogramFiller::stop()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

} // namespace SonivarACQ32
