#pragma once
// The frequency band of a map: one third-octave around a centre frequency,
// or the single FFT bin nearest to it, as a range of bins of a block.
namespace SonivarACQ32::acoustic_map {

constexpr int block_frames = 1024;             // FFT length, frames
constexpr int hop_frames = block_frames / 2;   // 50 % overlap
constexpr int nb_bins = block_frames / 2 + 1;  // one-sided spectrum, 0 to Nyquist

enum class BandKind { third_octave, single_bin };

struct Edges {
    double lower = 0.0;
    double upper = 0.0;
};

// Base-2 third-octave: fc / 2^(1/6) to fc x 2^(1/6).
Edges third_octave_edges(double centre_hz);

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

// Centre frequency of bin k.
double bin_frequency(int bin, double sample_rate);

} // namespace SonivarACQ32::acoustic_map
