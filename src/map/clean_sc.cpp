#include "map/clean_sc.h"

#include "map/parallel.h"
#include "map/quadratic_forms.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>

namespace SonivarACQ32::acoustic_map {

namespace {

using cplx = std::complex<double>;

// How many iterations back the maximum must have fallen from.
constexpr int stop_lag = 3;
// Steps of the fixed-point search for the source component without the
// diagonal: it settles within a few.
constexpr int fixed_point_steps = 20;

struct Component {
    std::vector<cplx> g;  // the source's vector at the microphones
    double power = 0.0;   // h^H C h, without the diagonal when it is removed
};

// The part of `c` coherent with steering h: C h / (h^H C h). Without the
// diagonal, g solves g (g^H h) - diag(|g|^2) h = (C - diag C) h / P.
Component component(const std::vector<cplx>& c, const std::vector<cplx>& h, bool remove_diagonal)
{
    const std::size_t n = h.size();
    Component out;
    out.g.assign(n, 0.0);
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i)
            if (!remove_diagonal || i != j)
                out.g[i] += c[j * n + i] * h[j];
    for (std::size_t i = 0; i < n; ++i)
        out.power += (std::conj(h[i]) * out.g[i]).real();
    if (!(out.power > 0.0))
        return out;
    for (cplx& v : out.g)
        v /= out.power;
    if (!remove_diagonal)
        return out;
    const std::vector<cplx> d1 = out.g;
    out.g = h;
    for (int step = 0; step < fixed_point_steps; ++step) {
        double own = 0.0;  // h^H diag(|g|^2) h
        for (std::size_t m = 0; m < n; ++m)
            own += std::norm(h[m]) * std::norm(out.g[m]);
        const double scale = 1.0 / std::sqrt(1.0 + own);
        for (std::size_t m = 0; m < n; ++m)
            out.g[m] = (d1[m] + std::norm(out.g[m]) * h[m]) * scale;
    }
    return out;
}

std::size_t argmax(const std::vector<float>& v)
{
    return static_cast<std::size_t>(std::max_element(v.begin(), v.end()) - v.begin());
}

} // namespace

// Batches are full but the last, so the batch of point `first` starts at
// first * n.
void CleanSc::BinSteering::start(const Steering& s)
{
    const std::size_t n = static_cast<std::size_t>(s.microphones());
    re.resize(s.points() * n);
    im.resize(s.points() * n);
    for (std::size_t first = 0; first < s.points(); first += point_batch)
        s.first_bin(first, std::min(point_batch, s.points() - first), &re[first * n], &im[first * n]);
}

void CleanSc::BinSteering::advance(const Steering& s)
{
    const std::size_t n = static_cast<std::size_t>(s.microphones());
    for (std::size_t first = 0; first < s.points(); first += point_batch)
        s.next_bin(first, std::min(point_batch, s.points() - first), &re[first * n], &im[first * n]);
}

std::vector<CleanSc::cplx> CleanSc::BinSteering::at(const Steering& s, std::size_t point) const
{
    const std::size_t n = static_cast<std::size_t>(s.microphones());
    const std::size_t first = point / point_batch * point_batch;
    const std::size_t count = std::min(point_batch, s.points() - first);
    std::vector<cplx> h(n);
    for (std::size_t m = 0; m < n; ++m) {
        const std::size_t e = first * n + m * count + (point - first);
        h[m] = {re[e], im[e]};
    }
    return h;
}

std::string CleanSc::powers(const MethodInput& in, std::span<float> out)
{
    std::fill(out.begin(), out.end(), 0.0f);
    const Steering& s = in.steering;
    const int n = s.microphones();
    amplitude2_.resize(s.points() * n);
    for (std::size_t p = 0; p < s.points(); ++p)
        for (int m = 0; m < n; ++m)
            amplitude2_[p * n + m] = s.amplitude(p, m) * s.amplitude(p, m);
    // Each run of bins its own clean map, added in the order of the bins
    // whatever order the runs end in: the same map every time.
    std::atomic<bool> whole = true;
    std::mutex adding;
    std::map<std::size_t, std::vector<float>> cleaned;
    in_parts(static_cast<std::size_t>(s.bins().count()), [&](std::size_t first, std::size_t end) {
        Cleaner cleaner{in, amplitude2_, {}, {}, {}, std::vector<float>(s.points(), 0.0f)};
        if (!cleaner.clean_bins(static_cast<int>(first), static_cast<int>(end)))
            whole = false;
        const std::lock_guard lock(adding);
        cleaned[first] = std::move(cleaner.clean);
    });
    if (!whole)
        return "Matrice interspectrale dégénérée : pas de carte";
    for (const auto& [first, clean] : cleaned)
        for (std::size_t p = 0; p < out.size(); ++p)
            out[p] += clean[p];
    return {};
}

// Bins first to end - 1, the steering moved up to the first bin by bin.
bool CleanSc::Cleaner::clean_bins(int first, int end)
{
    bin.start(in.steering);
    for (int k = 0; k < end; ++k) {
        if (k > 0)
            bin.advance(in.steering);
        if (k >= first && !clean_bin(k))
            return false;
    }
    return true;
}

void CleanSc::Cleaner::initial_dirty_map(int k)
{
    const Steering& s = in.steering;
    const std::size_t n = static_cast<std::size_t>(s.microphones());
    dirty.resize(s.points());
    float q[point_batch];
    for (std::size_t first = 0; first < s.points(); first += point_batch) {
        const std::size_t count = std::min(point_batch, s.points() - first);
        quadratic_forms(in.spectra.re(k), in.spectra.im(k), static_cast<int>(n), &bin.re[first * n],
                        &bin.im[first * n], count, !in.remove_diagonal, q);
        for (std::size_t p = 0; p < count; ++p)
            dirty[first + p] = in.remove_diagonal ? q[p] / s.diagonal_norm(first + p) : q[p];
    }
}

bool CleanSc::Cleaner::clean_bin(int k)
{
    const Steering& s = in.steering;
    const std::size_t n = static_cast<std::size_t>(s.microphones());
    c.resize(n * n);
    for (std::size_t e = 0; e < n * n; ++e) {
        c[e] = {in.spectra.re(k)[e], in.spectra.im(k)[e]};
        if (!std::isfinite(c[e].real()) || !std::isfinite(c[e].imag()))
            return false;
    }
    initial_dirty_map(k);
    const ParameterRange& range = *method_parameter(MethodKind::clean_sc);
    const double gain = std::clamp(in.parameters.loop_gain, range.low, range.high);
    const int iterations = std::clamp(in.parameters.iterations, 1, max_iterations);
    std::vector<double> maxima;
    for (int j = 0; j < iterations; ++j) {
        const std::size_t p = argmax(dirty);
        const Component source = component(c, bin.at(s, p), in.remove_diagonal);
        const double power = in.remove_diagonal ? source.power / s.diagonal_norm(p) : source.power;
        if (!(power > 0.0) || !std::isfinite(power) || (j >= stop_lag && power >= maxima[j - stop_lag]))
            break;
        maxima.push_back(power);
        clean[p] += static_cast<float>(gain * power);
        take_out(source.g, gain * source.power);
    }
    return true;
}

// C -= weight g g^H, and from the dirty map the beam pattern of that part.
void CleanSc::Cleaner::take_out(const std::vector<cplx>& g, double weight)
{
    const Steering& s = in.steering;
    const std::size_t n = g.size();
    float g_re[max_microphones], g_im[max_microphones];
    for (std::size_t j = 0; j < n; ++j) {
        g_re[j] = static_cast<float>(g[j].real());
        g_im[j] = static_cast<float>(g[j].imag());
        for (std::size_t i = 0; i < n; ++i)
            c[j * n + i] -= weight * g[i] * std::conj(g[j]);
    }
    const float w = static_cast<float>(weight);
    float q[point_batch];
    for (std::size_t first = 0; first < s.points(); first += point_batch) {
        const std::size_t count = std::min(point_batch, s.points() - first);
        weighted_projections(g_re, g_im, &w, 1, static_cast<int>(n), &bin.re[first * n], &bin.im[first * n],
                             count, q);
        for (std::size_t p = 0; p < count; ++p) {
            if (!in.remove_diagonal) {
                dirty[first + p] -= q[p];
                continue;
            }
            const float* a2 = &amplitude2[(first + p) * n];
            float own = 0.0f;  // the diagonal's share: sum of |h_m|^2 |g_m|^2
            for (std::size_t m = 0; m < n; ++m)
                own += a2[m] * (g_re[m] * g_re[m] + g_im[m] * g_im[m]);
            dirty[first + p] -= (q[p] - w * own) / s.diagonal_norm(first + p);
        }
    }
}

} // namespace SonivarACQ32::acoustic_map
