#include "map/delay_and_sum.h"

#include "map/quadratic_forms.h"

#include <algorithm>

namespace SonivarACQ32::acoustic_map {

std::string DelayAndSum::powers(const MethodInput& in, std::span<float> out)
{
    std::fill(out.begin(), out.end(), 0.0f);
    const CrossSpectra& c = in.spectra;
    const int n = in.steering.microphones();
    band_forms(
        in.steering,
        [&](int k, const float* h_re, const float* h_im, std::size_t count, float* q) {
            quadratic_forms(c.re(k), c.im(k), n, h_re, h_im, count, !in.remove_diagonal, q);
        },
        [&](int, std::size_t first, std::size_t count, const float* q) {
            // Without the diagonal a bin's power can come out negative, which
            // no source gives: each bin counts for at least nothing.
            for (std::size_t p = 0; p < count; ++p)
                out[first + p] += in.remove_diagonal ? std::max(q[p], 0.0f) : q[p];
        });
    if (in.remove_diagonal)
        for (std::size_t p = 0; p < out.size(); ++p)
            out[p] /= in.steering.diagonal_norm(p);
    return {};
}

} // namespace SonivarACQ32::acoustic_map
