#pragma once
// h^H M h for every grid point and every bin of a band, M a Hermitian
// matrix per bin (the cross-spectral matrix, or what a method makes of it):
// the one kernel every method's map goes through.
#include "map/parallel.h"
#include "map/steering.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace SonivarACQ32::acoustic_map {

// Points worked on together: their steering vectors and partial sums stay
// in the processor's first-level cache, and the inner loops run across
// points, which the compiler vectorises.
constexpr std::size_t point_batch = 16;
constexpr int max_microphones = 64;  // microphones one map can take

// q[p] = h_p^H M h_p for `count` points (at most point_batch) whose vectors
// are laid microphone after microphone (h_m(p) at [m * count + p]); M is
// n x n, column after column. Without the diagonal, the terms M_mm |h_m|^2
// are left out.
void quadratic_forms(const float* m_re, const float* m_im, int n, const float* h_re,
                     const float* h_im, std::size_t count, bool with_diagonal, float* q);

// q[p] = sum over k of weight[k] |v_k^H h_p|^2, v_k column k of the
// n x vectors matrix v (column after column): h^H M h for
// M = V diag(weight) V^H, as a sum of positive terms, which keeps its
// precision in float where M is badly conditioned (an inverse).
void weighted_projections(const float* v_re, const float* v_im, const float* weight, int vectors,
                          int n, const float* h_re, const float* h_im, std::size_t count, float* q);

// Runs over every bin k of the steering's band (0 = its first bin) and
// every batch of points: form(k, h_re, h_im, count, q) fills q with the form
// of each point of the batch (one of the kernels above), then
// visit(k, first, count, q) takes them, q[p] that of point first + p.
// The batches are shared between the cores: form and visit are called on
// several threads at once, each batch on one, so they must write only to
// the batch's own points.
template <typename Form, typename Visit>
void band_forms(const Steering& steering, Form form, Visit visit)
{
    const std::size_t batches = (steering.points() + point_batch - 1) / point_batch;
    in_parts(batches, [&](std::size_t begin, std::size_t end) {
        std::array<float, max_microphones * point_batch> h_re, h_im;
        std::array<float, point_batch> q;
        for (std::size_t b = begin; b < end; ++b) {
            const std::size_t first = b * point_batch;
            const std::size_t count = std::min(point_batch, steering.points() - first);
            steering.first_bin(first, count, h_re.data(), h_im.data());
            for (int k = 0; k < steering.bins().count(); ++k) {
                if (k > 0)
                    steering.next_bin(first, count, h_re.data(), h_im.data());
                form(k, h_re.data(), h_im.data(), count, q.data());
                visit(k, first, count, q.data());
            }
        }
    });
}

} // namespace SonivarACQ32::acoustic_map
