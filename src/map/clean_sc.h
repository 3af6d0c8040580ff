#pragma once
// CLEAN-SC: each bin's dirty map (delay-and-sum) is cleaned iteratively.
// At its maximum, the part of the matrix coherent with that point (the
// source component g, C h / P) is taken out, a loop gain's share at a time,
// with its whole beam pattern, sidelobes included; what was taken goes to
// the clean map at that point. It stops after the given iterations, when
// the maximum is no longer positive, or when it no longer falls (below the
// maximum a few iterations back: with a gain below one the maximum wanders
// a little before it settles). Without the diagonal, the source component
// solves the same equation off the diagonal, by fixed-point iteration.
#include "map/method.h"

#include <complex>
#include <vector>

namespace SonivarACQ32::acoustic_map {

class CleanSc : public Method {
public:
    MethodKind kind() const override { return MethodKind::clean_sc; }
    std::string powers(const MethodInput& input, std::span<float> out) override;

private:
    using cplx = std::complex<double>;
    // The steering of every point at one bin, batch after batch as the
    // kernels read it.
    struct BinSteering {
        std::vector<float> re, im;
        void start(const Steering& s);
        void advance(const Steering& s);
        std::vector<cplx> at(const Steering& s, std::size_t point) const;
    };
    // What cleaning a run of bins works on: the bins are shared between
    // the cores, each run with a cleaner of its own.
    struct Cleaner {
        const MethodInput& in;
        const std::vector<float>& amplitude2;  // |h_m|^2, point after point
        BinSteering bin;
        std::vector<cplx> c;       // the bin's matrix, what is left of it
        std::vector<float> dirty;  // the bin's dirty map, what is left of it
        std::vector<float> clean;  // the clean map of its bins
        bool clean_bins(int first, int end);
        bool clean_bin(int k);
        void initial_dirty_map(int k);
        void take_out(const std::vector<cplx>& g, double weight);
    };

    std::vector<float> amplitude2_;
};

} // namespace SonivarACQ32::acoustic_map
