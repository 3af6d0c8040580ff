#pragma once
// Cross-spectral matrices of the array's signals: Hann blocks of 1024
// frames with 50 % overlap, one FFT plan for every microphone, the matrix
// C_ij = x_i conj(x_j) of each bin of a band averaged over the blocks of a
// packet and, optionally, exponentially over packets. Its diagonal, the
// auto-spectrum of each microphone, is kept for every bin from 0 to Nyquist.
//
// Powers are one-sided: a sine of amplitude A gives A^2 / 2, summed over
// the bins it leaks into.
#include "spectra/band.h"

#include <cstddef>
#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

// Frames to pass over at the start of `count` frames so that their whole
// blocks end on the last frame (the newest, in a live stream).
inline std::size_t frames_before_blocks(std::size_t count)
{
    const auto block = static_cast<std::size_t>(block_frames), hop = static_cast<std::size_t>(hop_frames);
    if (count < block)
        return count;
    return (count - block) % hop;
}

class CrossSpectra {
public:
    CrossSpectra();
    ~CrossSpectra();
    CrossSpectra(const CrossSpectra&) = delete;
    CrossSpectra& operator=(const CrossSpectra&) = delete;

    // `microphones` interleaved channels; matrices for the bins of `band`
    // (an empty band: the auto-spectra alone).
    // Forgets every average. Returns why it cannot work (French), empty
    // when ready.
    std::string configure(int microphones, Bins band);
    bool ready() const;

    // Adds the whole blocks of `count` interleaved frames, one float per
    // microphone each; returns the blocks added. Frames after the last
    // whole block are not kept.
    std::size_t add_frames(const float* frames, std::size_t count);
    // Blocks added since the last fold.
    std::size_t pending_blocks() const;
    // Folds the blocks added since the last fold into the average, the
    // previous average weighing `smoothing` (0 to below 1; 0: the packet
    // alone). False when there has never been a block.
    bool fold(double smoothing);
    // Forgets the average and the blocks not yet folded.
    void reset();
    // Makes `matrix` (n x n, column after column) the averaged matrix of
    // bin bins().first + k: a scene known in advance, or matrices kept from
    // elsewhere. The auto-spectra are left as they are.
    void set_average(int k, const std::vector<std::complex<double>>& matrix);
    bool has_average() const;
    // Weighs each bin's matrix as the methods read it (A-weighting: a power
    // factor per bin of the band); none, or not one per bin: all 1. Each
    // method's map of a bin scales with that bin's matrix, so the map is
    // the weighted sum of the bins' maps. The auto-spectra stay unweighted.
    void set_weights(std::vector<double> weights);

    int microphones() const;
    const Bins& bins() const;
    // The averaged matrix of bin bins().first + k, weighted, column after column:
    // C_ij at [j * n + i], real and imaginary parts apart.
    const float* re(int k) const;
    const float* im(int k) const;
    // Averaged auto-spectrum of microphone m at bin k (0 to nb_bins - 1),
    // at [m * nb_bins + k].
    const std::vector<double>& auto_spectra() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace SonivarACQ32::acoustic_map
