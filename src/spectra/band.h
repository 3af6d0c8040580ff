#pragma once
// The frequency band of a map: one third-octave around a centre frequency,
// the single FFT bin nearest to it, or every bin from a lower to an upper
// frequency (broadband), as a range of bins of a block; and the A-weighting
// of its bins.
#include <vector>

namespace SonivarACQ32::acoustic_map {

constexpr int block_frames = 1024;             // FFT length, frames
constexpr int hop_frames = block_frames / 2;   // 50 % overlap
constexpr int nb_bins = block_frames / 2 + 1;  // one-sided spectrum, 0 to Nyquist

enum class BandKind { third_octave, single_bin, broadband };

struct Edges {
    double lower = 0.0;
    double upper = 0.0;
};

// Base-2 third-octave: fc / 2^(1/6) to fc x 2^(1/6).
Edges third_octave_edges(double centre_hz);

// The base-2 third-octave series: band k's exact centre 1000 x 2^(k/3) and
// its nominal centre (the same mantissas in every decade: 1000, 1250,
// 1600 … ; 2^(10/3) is within 1 % of 10).
double third_octave_exact(int k);
double third_octave_nominal(int k);
// The band k whose nominal centre is `nominal_hz` (100 Hz: -10).
int third_octave_index(double nominal_hz);

// Bins first to last inclusive; empty (last < first) when the band lies
// beyond the Nyquist frequency or the centre is not positive.
struct Bins {
    int first = 1;
    int last = 0;
    bool empty() const { return last < first; }
    int count() const { return empty() ? 0 : last - first + 1; }
};

// The bins whose centre frequencies fall in the band (bin 0, the mean, never
// takes part). A third-octave too narrow to hold a bin centre falls back on
// the nearest bin.
Bins band_bins(double centre_hz, double sample_rate, BandKind kind);

// Broadband: the bins whose centres lie from `lower` to `upper` (Hz); empty
// when none does or the band is reversed.
Bins broadband_bins(double lower, double upper, double sample_rate);

// The bins a band of `edges` overlaps, bin k standing for the frequencies
// within half a bin of its centre, and each one's share of them in the
// band (1 inside, less at the edges): summing the bins' powers by their
// shares gives the band's power, however narrow it is. Bins 1 to `last`.
struct BandShares {
    Bins bins;
    std::vector<double> shares;  // one per bin of `bins`
};
BandShares band_shares(const Edges& edges, double bin_width, int last);

// Centre frequency of bin k.
double bin_frequency(int bin, double sample_rate);

// The A-weighting of IEC 61672 at `frequency`, dB (0 at 1 kHz).
double a_weighting_db(double frequency);
// The A-weighting of each bin of `bins` as a factor of power.
std::vector<double> a_weights(const Bins& bins, double sample_rate);

} // namespace SonivarACQ32::acoustic_map
