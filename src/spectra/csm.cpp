#include "spectra/csm.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <mutex>
#include <numbers>

namespace SonivarACQ32::acoustic_map {

namespace {

using cplx = std::complex<double>;

struct FftwFree {
    void operator()(void* p) const { fftwf_free(p); }
};
// FFTW's planner is one for the whole program and not thread-safe: the map
// and the spectrum make and drop their plans on threads of their own, so
// every plan is made and destroyed under this lock (running one needs none).
std::mutex& planner_lock()
{
    static std::mutex lock;
    return lock;
}

struct PlanFree {
    void operator()(fftwf_plan_s* p) const
    {
        const std::lock_guard lock(planner_lock());
        fftwf_destroy_plan(p);
    }
};

// Periodic Hann window: its 50 % overlapped copies add up to a constant.
std::vector<float> hann()
{
    std::vector<float> w(block_frames);
    for (int t = 0; t < block_frames; ++t)
        w[t] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * t / block_frames));
    return w;
}

// One-sided power spectral scale of the window.
double spectral_scale(const std::vector<float>& window)
{
    double energy = 0.0;
    for (float w : window)
        energy += static_cast<double>(w) * w;
    return 2.0 / (block_frames * energy);
}

} // namespace

struct CrossSpectra::Impl {
    int n = 0;
    Bins bins;
    std::vector<float> window = hann();
    double scale = spectral_scale(window);
    std::unique_ptr<float, FftwFree> in;
    std::unique_ptr<fftwf_complex, FftwFree> out;
    std::unique_ptr<fftwf_plan_s, PlanFree> plan;
    std::vector<cplx> sum;      // bins x n x n, this packet's blocks
    std::vector<double> auto_sum;  // n x nb_bins
    std::size_t blocks = 0;
    std::vector<cplx> average;
    std::vector<double> auto_average;
    bool has_average = false;
    std::vector<float> c_re, c_im;  // float copies of the average, each bin weighted
    std::vector<double> weights;    // per bin of the band; none: 1
    std::vector<cplx> x;            // one bin of every microphone

    void add_block(const float* frames);
    void add_pairs(int k);
    void copy_average(std::size_t from, std::size_t to);
};

// The float copies the methods read, of elements [from, to) of the average.
void CrossSpectra::Impl::copy_average(std::size_t from, std::size_t to)
{
    const std::size_t size = static_cast<std::size_t>(n) * n;
    for (std::size_t e = from; e < to; ++e) {
        const double w = weights.empty() ? 1.0 : weights[e / size];
        c_re[e] = static_cast<float>(w * average[e].real());
        c_im[e] = static_cast<float>(w * average[e].imag());
    }
}

CrossSpectra::CrossSpectra() : d_(std::make_unique<Impl>()) {}
CrossSpectra::~CrossSpectra() = default;

bool CrossSpectra::ready() const { return d_->n >= 1 && d_->plan != nullptr; }
int CrossSpectra::microphones() const { return d_->n; }
const Bins& CrossSpectra::bins() const { return d_->bins; }
std::size_t CrossSpectra::pending_blocks() const { return d_->blocks; }
bool CrossSpectra::has_average() const { return d_->has_average; }
const std::vector<double>& CrossSpectra::auto_spectra() const { return d_->auto_average; }

const float* CrossSpectra::re(int k) const
{
    return d_->c_re.data() + static_cast<std::size_t>(k) * d_->n * d_->n;
}

const float* CrossSpectra::im(int k) const
{
    return d_->c_im.data() + static_cast<std::size_t>(k) * d_->n * d_->n;
}

std::string CrossSpectra::configure(int n, Bins band)
{
    Impl& d = *d_;
    d.n = 0;
    d.plan.reset();
    if (n < 1)
        return "Aucun micro acquis";
    d.bins = band;
    d.in.reset(fftwf_alloc_real(static_cast<std::size_t>(n) * block_frames));
    d.out.reset(fftwf_alloc_complex(static_cast<std::size_t>(n) * nb_bins));
    const int length = block_frames;
    {
        const std::lock_guard lock(planner_lock());
        d.plan.reset(fftwf_plan_many_dft_r2c(1, &length, n, d.in.get(), nullptr, 1, block_frames, d.out.get(),
                                             nullptr, 1, nb_bins, FFTW_ESTIMATE));
    }
    if (d.plan == nullptr)
        return "Transformée de Fourier indisponible";
    const std::size_t matrix = static_cast<std::size_t>(band.count()) * n * n;
    d.sum.assign(matrix, cplx{});
    d.average.assign(matrix, cplx{});
    d.c_re.assign(matrix, 0.0f);
    d.c_im.assign(matrix, 0.0f);
    d.auto_sum.assign(static_cast<std::size_t>(n) * nb_bins, 0.0);
    d.auto_average.assign(d.auto_sum.size(), 0.0);
    d.x.assign(n, cplx{});
    d.weights.clear();
    d.n = n;
    reset();
    return {};
}

void CrossSpectra::set_weights(std::vector<double> weights)
{
    Impl& d = *d_;
    d.weights = weights.size() == static_cast<std::size_t>(d.bins.count()) ? std::move(weights)
                                                                          : std::vector<double>{};
    d.copy_average(0, d.average.size());
}

void CrossSpectra::reset()
{
    Impl& d = *d_;
    std::fill(d.sum.begin(), d.sum.end(), cplx{});
    std::fill(d.auto_sum.begin(), d.auto_sum.end(), 0.0);
    d.blocks = 0;
    d.has_average = false;
}

std::size_t CrossSpectra::add_frames(const float* frames, std::size_t count)
{
    if (!ready() || count < static_cast<std::size_t>(block_frames))
        return 0;
    const std::size_t blocks = (count - block_frames) / hop_frames + 1;
    for (std::size_t b = 0; b < blocks; ++b)
        d_->add_block(frames + b * hop_frames * d_->n);
    return blocks;
}

void CrossSpectra::Impl::add_block(const float* frames)
{
    // Microphone after microphone, so the writes run along each signal (the
    // other way round, every write lands one page further on).
    float* data = in.get();
    for (int m = 0; m < n; ++m) {
        float* signal = data + static_cast<std::size_t>(m) * block_frames;
        const float* sample = frames + m;
        for (int t = 0; t < block_frames; ++t)
            signal[t] = sample[static_cast<std::size_t>(t) * n] * window[t];
    }
    fftwf_execute(plan.get());
    for (int m = 0; m < n; ++m) {
        const fftwf_complex* spectrum = out.get() + static_cast<std::size_t>(m) * nb_bins;
        double* row = auto_sum.data() + static_cast<std::size_t>(m) * nb_bins;
        for (int k = 0; k < nb_bins; ++k)
            row[k] += scale * (static_cast<double>(spectrum[k][0]) * spectrum[k][0] +
                               static_cast<double>(spectrum[k][1]) * spectrum[k][1]);
    }
    for (int k = 0; k < bins.count(); ++k)
        add_pairs(k);
    ++blocks;
}

// C_ij += x_i conj(x_j), written out: std::complex's product also checks
// for infinities, which costs more than the product.
void CrossSpectra::Impl::add_pairs(int k)
{
    for (int m = 0; m < n; ++m) {
        const fftwf_complex& v = out.get()[m * nb_bins + bins.first + k];
        x[m] = cplx(v[0], v[1]);
    }
    cplx* c = sum.data() + static_cast<std::size_t>(k) * n * n;
    for (int j = 0; j < n; ++j) {
        const double yr = x[j].real() * scale, yi = -x[j].imag() * scale;
        for (int i = 0; i < n; ++i) {
            const double xr = x[i].real(), xi = x[i].imag();
            c[j * n + i] += cplx(xr * yr - xi * yi, xr * yi + xi * yr);
        }
    }
}

void CrossSpectra::set_average(int k, const std::vector<cplx>& matrix)
{
    Impl& d = *d_;
    const std::size_t size = static_cast<std::size_t>(d.n) * d.n;
    if (k < 0 || k >= d.bins.count() || matrix.size() != size)
        return;
    const std::size_t at = static_cast<std::size_t>(k) * size;
    std::copy(matrix.begin(), matrix.end(), d.average.begin() + static_cast<std::ptrdiff_t>(at));
    d.copy_average(at, at + size);
    d.has_average = true;
}

bool CrossSpectra::fold(double smoothing)
{
    Impl& d = *d_;
    if (d.blocks == 0)
        return d.has_average;
    const double keep = d.has_average ? smoothing : 0.0;
    const double weight = (1.0 - keep) / static_cast<double>(d.blocks);
    for (std::size_t e = 0; e < d.sum.size(); ++e) {
        d.average[e] = keep * d.average[e] + weight * d.sum[e];
        d.sum[e] = cplx{};
    }
    d.copy_average(0, d.average.size());
    for (std::size_t e = 0; e < d.auto_sum.size(); ++e) {
        d.auto_average[e] = keep * d.auto_average[e] + weight * d.auto_sum[e];
        d.auto_sum[e] = 0.0;
    }
    d.blocks = 0;
    d.has_average = true;
    return true;
}

} // namespace SonivarACQ32::acoustic_map
