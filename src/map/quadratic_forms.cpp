#include "map/quadratic_forms.h"

#include <algorithm>

namespace SonivarACQ32::acoustic_map {

namespace {

// M is Hermitian: each pair above the diagonal counts twice,
// 2 Re(conj(h_i) M_ij h_j), gathered column after column as
// w = (strict upper part of M) h. A full batch has a size known to the
// compiler, so that its loops vectorise without remainders.
template <std::size_t Count>
[[gnu::always_inline]] inline void forms(const float* m_re, const float* m_im, int n, const float* h_re, const float* h_im,
           std::size_t count, bool with_diagonal, float* q)
{
    const std::size_t c = Count != 0 ? Count : count;
    float w_re[max_microphones * point_batch];
    float w_im[max_microphones * point_batch];
    std::fill(w_re, w_re + n * c, 0.0f);
    std::fill(w_im, w_im + n * c, 0.0f);
    for (int j = 1; j < n; ++j) {
        const float* hjr = h_re + j * c;
        const float* hji = h_im + j * c;
        for (int i = 0; i < j; ++i) {
            const float cr = m_re[j * n + i], ci = m_im[j * n + i];
            float* wr = w_re + i * c;
            float* wi = w_im + i * c;
            for (std::size_t p = 0; p < c; ++p) {
                wr[p] += cr * hjr[p] - ci * hji[p];
                wi[p] += cr * hji[p] + ci * hjr[p];
            }
        }
    }
    float pairs[point_batch] = {};
    float own[point_batch] = {};
    for (int m = 0; m < n; ++m) {
        const float* hr = h_re + m * c;
        const float* hi = h_im + m * c;
        const float d = with_diagonal ? m_re[m * n + m] : 0.0f;
        for (std::size_t p = 0; p < c; ++p) {
            pairs[p] += hr[p] * w_re[m * c + p] + hi[p] * w_im[m * c + p];
            own[p] += d * (hr[p] * hr[p] + hi[p] * hi[p]);
        }
    }
    for (std::size_t p = 0; p < c; ++p)
        q[p] = own[p] + 2.0f * pairs[p];
}

// The full batch, the map's hot loop: on x86-64 it is also built for
// processors with AVX2 and FMA, chosen when the program loads.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("arch=haswell", "default")))
#endif
void full_batch(const float* m_re, const float* m_im, int n, const float* h_re, const float* h_im,
                bool with_diagonal, float* q)
{
    forms<point_batch>(m_re, m_im, n, h_re, h_im, point_batch, with_diagonal, q);
}

template <std::size_t Count>
[[gnu::always_inline]] inline void projections(const float* v_re, const float* v_im, const float* weight,
                                               int vectors, int n, const float* h_re, const float* h_im,
                                               std::size_t count, float* q)
{
    const std::size_t c = Count != 0 ? Count : count;
    float sum[point_batch] = {};
    for (int k = 0; k < vectors; ++k) {
        float a_re[point_batch] = {}, a_im[point_batch] = {};
        const float* vr = v_re + static_cast<std::size_t>(k) * n;
        const float* vi = v_im + static_cast<std::size_t>(k) * n;
        for (int m = 0; m < n; ++m) {
            const float* hr = h_re + m * c;
            const float* hi = h_im + m * c;
            for (std::size_t p = 0; p < c; ++p) {  // conj(v_mk) h_m
                a_re[p] += vr[m] * hr[p] + vi[m] * hi[p];
                a_im[p] += vr[m] * hi[p] - vi[m] * hr[p];
            }
        }
        for (std::size_t p = 0; p < c; ++p)
            sum[p] += weight[k] * (a_re[p] * a_re[p] + a_im[p] * a_im[p]);
    }
    for (std::size_t p = 0; p < c; ++p)
        q[p] = sum[p];
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("arch=haswell", "default")))
#endif
void full_batch_projections(const float* v_re, const float* v_im, const float* weight, int vectors,
                            int n, const float* h_re, const float* h_im, float* q)
{
    projections<point_batch>(v_re, v_im, weight, vectors, n, h_re, h_im, point_batch, q);
}

} // namespace

void weighted_projections(const float* v_re, const float* v_im, const float* weight, int vectors,
                          int n, const float* h_re, const float* h_im, std::size_t count, float* q)
{
    n = std::clamp(n, 0, max_microphones);
    if (count == point_batch)
        full_batch_projections(v_re, v_im, weight, vectors, n, h_re, h_im, q);
    else
        projections<0>(v_re, v_im, weight, vectors, n, h_re, h_im, std::min(count, point_batch), q);
}

void quadratic_forms(const float* m_re, const float* m_im, int n, const float* h_re,
                     const float* h_im, std::size_t count, bool with_diagonal, float* q)
{
    n = std::clamp(n, 0, max_microphones);
    if (count == point_batch)
        full_batch(m_re, m_im, n, h_re, h_im, with_diagonal, q);
    else
        forms<0>(m_re, m_im, n, h_re, h_im, std::min(count, point_batch), with_diagonal, q);
}

} // namespace SonivarACQ32::acoustic_map
