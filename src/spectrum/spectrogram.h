#pragma once
// A spectrogram: the power spectrum of a stretch of signal column after
// column (time across, frequency up), each column the mean of a few Hann
// blocks spread over its time step, so that a long recording is pictured
// from a part of its blocks and the picture fills column by column. The
// spectra are those of the cross-spectra's auto-spectra (a tone reads its
// own power), of one channel or the mean over the channels.
#include "spectra/band.h"
#include "stream/frame_blocks.h"
#include "stream/levels.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace SonivarACQ32::spectrum {

constexpr int spectrogram_max_columns = 2000;   // when the step is not given
constexpr int spectrogram_column_blocks = 8;    // blocks averaged per column, at most
constexpr int spectrogram_bins = acoustic_map::nb_bins - 1;  // bins 1 to Nyquist

// The columns of `frames` frames at `sample_rate`: one per `step_s`
// (0: the least step, a whole number of half blocks, giving at most
// spectrogram_max_columns), each starting where its step does.
struct SpectrogramGrid {
    std::uint64_t frames = 0;
    double sample_rate = 0.0;
    std::uint64_t step_frames = 0;
    int columns() const;
    // The first frames of the blocks that make column c (relative to the
    // stretch's start): spread evenly over its step, within the stretch.
    std::vector<std::uint64_t> blocks(int column) const;
    double step_s() const { return sample_rate > 0.0 ? step_frames / sample_rate : 0.0; }
};
SpectrogramGrid spectrogram_grid(std::uint64_t frames, double sample_rate, double step_s);

struct Spectrogram {
    SpectrogramGrid grid;
    double start_s = 0.0;  // the stretch's start in the recording
    stream::LevelUnit unit = stream::LevelUnit::dbfs;
    std::vector<float> power;  // [column * spectrogram_bins + bin - 1], the unit's square; sized by the grid
    int done = 0;              // columns filled, from the first
    double frequency(int bin) const { return acoustic_map::bin_frequency(bin, grid.sample_rate); }
    double time_s(int column) const { return start_s + column * grid.step_s(); }
    // The middle of the frames column c is made of, s from the recording's start.
    double centre_s(int column) const;
    float at(int column, int bin) const { return power[static_cast<std::size_t>(column) * spectrogram_bins + bin - 1]; }
};
Spectrogram empty_spectrogram(const SpectrogramGrid& grid, double start_s, stream::LevelUnit unit);

// Fills columns [out.done, end) of `out`, shared between the cores, and
// moves out.done to `end`, from blocks of block_frames frames of
// `channels` channels; `channel` the one pictured, or the mean over all
// when negative. Returns why it stopped (French), empty when it did not.
std::string fill_columns(Spectrogram& out, int channels, int channel, const stream::BlockReader& read, int end);

} // namespace SonivarACQ32::spectrum
