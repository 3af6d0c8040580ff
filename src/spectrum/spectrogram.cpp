#include "spectrum/spectrogram.h"

#include "spectra/csm.h"
#include "spectrum/spectrum.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

namespace SonivarACQ32::spectrum {

namespace am = acoustic_map;

int SpectrogramGrid::columns() const
{
    if (step_frames == 0 || frames < static_cast<std::uint64_t>(am::block_frames))
        return 0;
    return static_cast<int>((frames - am::block_frames) / step_frames + 1);
}

std::vector<std::uint64_t> SpectrogramGrid::blocks(int column) const
{
    const auto block = static_cast<std::uint64_t>(am::block_frames);
    const std::uint64_t start = static_cast<std::uint64_t>(column) * step_frames;
    const std::uint64_t room = std::min(step_frames, frames - block - start);  // where a block may start
    const std::uint64_t count = std::clamp<std::uint64_t>(room / am::hop_frames + 1, 1, spectrogram_column_blocks);
    std::vector<std::uint64_t> firsts;
    for (std::uint64_t b = 0; b < count; ++b)
        firsts.push_back(start + (count > 1 ? b * room / (count - 1) : 0));
    return firsts;
}

SpectrogramGrid spectrogram_grid(std::uint64_t frames, double sample_rate, double step_s)
{
    SpectrogramGrid grid{frames, sample_rate, 0};
    const auto half = static_cast<std::uint64_t>(am::hop_frames);
    if (step_s > 0.0) {
        grid.step_frames = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(step_s * sample_rate)));
    } else {
        const std::uint64_t span = frames > half ? frames - half : 0;
        grid.step_frames = std::max<std::uint64_t>(half, (span / spectrogram_max_columns + half) / half * half);
    }
    return grid;
}

double Spectrogram::centre_s(int column) const
{
    const std::vector<std::uint64_t> firsts = grid.blocks(column);
    const double middle = (static_cast<double>(firsts.front() + firsts.back()) + am::block_frames) / 2.0;
    return start_s + middle / grid.sample_rate;
}

Spectrogram empty_spectrogram(const SpectrogramGrid& grid, double start_s, stream::LevelUnit unit)
{
    Spectrogram out{grid, start_s, unit, {}, 0};
    out.power.assign(static_cast<std::size_t>(grid.columns()) * spectrogram_bins, 0.0f);
    return out;
}

namespace {

// Every `stride`-th column of [begin, end) from `begin`, with cross-spectra
// of its own.
std::string fill_some(Spectrogram& out, int channels, int channel, const stream::BlockReader& read, int begin, int end,
                      int stride, const std::atomic<bool>& going)
{
    am::CrossSpectra spectra;
    if (std::string why = spectra.configure(channels, am::Bins{}); !why.empty())
        return why;
    std::vector<float> block;
    std::string error;
    for (int c = begin; c < end && going; c += stride) {
        spectra.reset();
        for (std::uint64_t first : out.grid.blocks(c)) {
            if (!read(first, am::block_frames, block, error))
                return error;
            spectra.add_frames(block.data(), am::block_frames);
        }
        spectra.fold(0.0);
        const std::vector<Line> lines = narrow_band(spectra.auto_spectra(), channels, channel, out.grid.sample_rate);
        float* column = out.power.data() + static_cast<std::size_t>(c) * spectrogram_bins;
        for (std::size_t b = 0; b < lines.size() && b < static_cast<std::size_t>(spectrogram_bins); ++b)
            column[b] = static_cast<float>(lines[b].power);
    }
    return {};
}

} // namespace

std::string fill_columns(Spectrogram& out, int channels, int channel, const stream::BlockReader& read, int end)
{
    end = std::min(end, out.grid.columns());
    if (end <= out.done)
        return {};
    // Each core takes every other column, so that the columns fill from
    // the first whatever the cores' pace.
    const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    std::mutex said;
    std::string why;
    std::atomic<bool> going = true;
    const auto work = [&](int core) {
        std::string e = fill_some(out, channels, channel, read, out.done + core, end, cores, going);
        if (!e.empty()) {
            const std::lock_guard lock(said);
            why = e;
            going = false;
        }
    };
    {
        std::vector<std::jthread> others;
        for (int core = 1; core < cores; ++core)
            others.emplace_back(work, core);
        work(0);
    }
    if (why.empty())
        out.done = end;
    return why;
}

} // namespace SonivarACQ32::spectrum
