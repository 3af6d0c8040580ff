// The spectrogram of a 10-minute top-rate recording, the mean of its 32
// microphones, as the review computes it on its worker: how long until the
// first stretch of columns can be shown, and until the whole. The
// recording in the page cache, as right after a run.
#include "top_rate_recording.h"

#include "stream/frame_blocks.h"
#include "spectrum/spectrogram.h"
#include "stream/levels.h"

#include <QDir>

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace sp = SonivarACQ32::spectrum;
using Clock = std::chrono::steady_clock;

constexpr int first_stretch = 64;  // the columns of the first picture

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

} // namespace

int main(int argc, char** argv)
{
    Q_INIT_RESOURCE(sonivar);  // the example geometry the recording's source is placed with
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path dir = base / ("sonivar-spectrogram-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path dat = top_rate_recording(dir);
    std::printf("recording: %.0f MB, %u s\n", fs::file_size(dat) / 1e6, top_rate_seconds);
    int status = 1;
    for (int pass = 0; pass < 3; ++pass) {
        const auto start = Clock::now();
        auto loaded = SonivarACQ32::stream::load_recording(dat.string());
        if (!loaded.recording)
            break;
        const auto& r = *loaded.recording;
        const SonivarACQ32::stream::FrameRange range{0, SonivarACQ32::stream::whole_frames(r)};
        sp::Spectrogram d = sp::empty_spectrogram(sp::spectrogram_grid(range.frames(), top_rate_hz, 0.0), 0.0,
                                                  SonivarACQ32::stream::LevelUnit::dbfs);
        const SonivarACQ32::stream::BlockReader read = SonivarACQ32::stream::recording_blocks(r, range, SonivarACQ32::stream::sample_factors({}, false));
        const int channels = static_cast<int>(r.layout.micros.size());
        std::string why = sp::fill_columns(d, channels, -1, read, first_stretch);
        const double first = seconds_since(start);
        while (why.empty() && d.done < d.grid.columns())
            why = sp::fill_columns(d, channels, -1, read, d.done + first_stretch);
        if (!why.empty()) {
            std::printf("error: %s\n", why.c_str());
            break;
        }
        std::printf("pass %d: %d columns of %.3f s; first picture %.3f s, whole %.2f s\n", pass + 1, d.grid.columns(),
                    d.grid.step_s(), first, seconds_since(start));
        status = 0;
    }
    fs::remove_all(dir);
    return status;
}
