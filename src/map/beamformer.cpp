#include "map/beamformer.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace SonivarACQ32::acoustic_map {

namespace {

using cplx = std::complex<double>;

struct FftwFree {
    void operator()(void* p) const { fftwf_free(p); }
};
struct PlanFree {
    void operator()(fftwf_plan_s* p) const { fftwf_destroy_plan(p); }
};

// Periodic Hann window: its 50 % overlapped copies add up to a constant.
std::vector<float> hann()
{
    std::vector<float> w(block_frames);
    for (int t = 0; t < block_frames; ++t)
        w[t] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * t / block_frames));
    return w;
}

// One-sided power spectral scale: a sine of amplitude A gives A^2 / 2 summed
// over the bins it leaks into.
double spectral_scale(const std::vector<float>& window)
{
    double energy = 0.0;
    for (float w : window)
        energy += static_cast<double>(w) * w;
    return 2.0 / (block_frames * energy);
}

// Steering of one grid point for one microphone: the magnitude of its weight
// and the phase factor at the first bin of the band and from bin to bin.
struct Steer {
    float amplitude;
    float first_re, first_im;
    float step_re, step_im;
};

} // namespace

Position array_centre(const std::vector<Position>& mics)
{
    Position centre;
    for (const Position& m : mics) {
        centre.x += m.x / mics.size();
        centre.y += m.y / mics.size();
        centre.z += m.z / mics.size();
    }
    return centre;
}

std::vector<SteeringWeight> steering(const Position& point, const std::vector<Position>& mics)
{
    const Position c = array_centre(mics);
    const double r0 = std::hypot(point.x - c.x, point.y - c.y, point.z - c.z);
    std::vector<SteeringWeight> weights(mics.size());
    double gain = 0.0;
    for (std::size_t m = 0; m < mics.size(); ++m) {
        const double r = std::hypot(point.x - mics[m].x, point.y - mics[m].y, point.z - mics[m].z);
        weights[m] = {r0 / r, (r - r0) / speed_of_sound};
        gain += weights[m].amplitude * weights[m].amplitude;
    }
    for (SteeringWeight& w : weights)
        w.amplitude /= gain;
    return weights;
}

int Grid::side() const
{
    if (!(extent > 0.0) || !(step > 0.0) || !std::isfinite(extent) || !std::isfinite(step))
        return 0;
    const double n = std::floor(2.0 * extent / step + 1e-9) + 1.0;
    return n <= max_grid_side ? static_cast<int>(n) : 0;
}

std::string settings_problem(const Settings& s, double sample_rate)
{
    if (s.grid.side() == 0)
        return "Grille invalide : étendue et pas positifs, au plus " +
               std::to_string(max_grid_side) + " points par côté";
    if (!(s.grid.z > 0.0) || !std::isfinite(s.grid.z))
        return "Distance du plan invalide : elle doit être positive";
    if (!(s.smoothing >= 0.0 && s.smoothing < 1.0))
        return "Lissage invalide";
    if (band_bins(s.frequency, sample_rate, s.band).empty())
        return "Fréquence hors de la bande analysable (0 à la moitié de la fréquence "
               "d'échantillonnage)";
    return {};
}

struct Beamformer::Impl {
    int n = 0;  // microphones
    Bins bins;
    Settings settings;
    std::vector<float> window = hann();
    double scale = spectral_scale(window);
    std::unique_ptr<float, FftwFree> in;
    std::unique_ptr<fftwf_complex, FftwFree> out;
    std::unique_ptr<fftwf_plan_s, PlanFree> plan;
    std::vector<cplx> sum;      // bins x n x n: this packet's blocks, C[k][i][j] at (k*n + j)*n + i
    std::size_t blocks = 0;
    std::vector<cplx> average;  // the same layout
    bool has_average = false;
    std::vector<Steer> steer;   // points x n
    std::vector<float> diagonal_norm;  // points: the gain restored after diagonal removal
    // Work areas of compute(), float copies of the average.
    std::vector<float> c_re, c_im, diag;

    void build_steering(const std::vector<Position>& mics, double sample_rate);
    void add_block(const float* frames);
    void fold_packet();
    float point_power(std::size_t p) const;
};

Beamformer::Beamformer() : d_(std::make_unique<Impl>()) {}
Beamformer::~Beamformer() = default;

bool Beamformer::ready() const { return d_->n >= 2 && d_->plan != nullptr; }
const Bins& Beamformer::bins() const { return d_->bins; }

std::string Beamformer::configure(const std::vector<Position>& mics, double sample_rate,
                                  const Settings& settings)
{
    Impl& d = *d_;
    d.n = 0;
    d.plan.reset();
    d.blocks = 0;
    d.has_average = false;
    if (mics.size() < 2)
        return "Moins de 2 micros acquis : pas de carte";
    if (mics.size() > static_cast<std::size_t>(max_microphones))
        return "Trop de micros pour la carte";
    if (std::string problem = settings_problem(settings, sample_rate); !problem.empty())
        return problem;
    const int n = static_cast<int>(mics.size());
    d.settings = settings;
    d.bins = band_bins(settings.frequency, sample_rate, settings.band);
    d.in.reset(fftwf_alloc_real(static_cast<std::size_t>(n) * block_frames));
    d.out.reset(fftwf_alloc_complex(static_cast<std::size_t>(n) * nb_bins));
    const int length = block_frames;
    d.plan.reset(fftwf_plan_many_dft_r2c(1, &length, n, d.in.get(), nullptr, 1, block_frames,
                                         d.out.get(), nullptr, 1, nb_bins, FFTW_ESTIMATE));
    if (d.plan == nullptr)
        return "Transformée de Fourier indisponible";
    const std::size_t matrix = static_cast<std::size_t>(d.bins.count()) * n * n;
    d.sum.assign(matrix, cplx{});
    d.average.assign(matrix, cplx{});
    d.c_re.assign(matrix, 0.0f);
    d.c_im.assign(matrix, 0.0f);
    d.diag.assign(n, 0.0f);
    d.n = n;
    d.build_steering(mics, sample_rate);
    return {};
}

void Beamformer::Impl::build_steering(const std::vector<Position>& mics, double sample_rate)
{
    const int side = settings.grid.side();
    const double omega_first = 2.0 * std::numbers::pi * bin_frequency(bins.first, sample_rate);
    const double omega_step = 2.0 * std::numbers::pi * bin_frequency(1, sample_rate);
    const double plane_z = array_centre(mics).z + settings.grid.z;
    steer.resize(static_cast<std::size_t>(side) * side * n);
    diagonal_norm.resize(static_cast<std::size_t>(side) * side);
    for (int j = 0; j < side; ++j) {
        for (int i = 0; i < side; ++i) {
            const std::size_t p = static_cast<std::size_t>(j) * side + i;
            const auto weights = steering(
                {settings.grid.coordinate(i), settings.grid.coordinate(j), plane_z}, mics);
            double squares = 0.0, fourths = 0.0;  // of the amplitudes
            for (int m = 0; m < n; ++m) {
                const double a2 = weights[m].amplitude * weights[m].amplitude;
                squares += a2;
                fourths += a2 * a2;
                const cplx first = std::polar(1.0, -omega_first * weights[m].delay);
                const cplx step = std::polar(1.0, -omega_step * weights[m].delay);
                steer[p * n + m] = {static_cast<float>(weights[m].amplitude),
                                    static_cast<float>(first.real()), static_cast<float>(first.imag()),
                                    static_cast<float>(step.real()), static_cast<float>(step.imag())};
            }
            // A point source's own power once its diagonal terms are gone.
            diagonal_norm[p] = static_cast<float>(1.0 / (1.0 - fourths / (squares * squares)));
        }
    }
}

std::size_t Beamformer::add_frames(const float* frames, std::size_t count)
{
    if (!ready() || count < static_cast<std::size_t>(block_frames))
        return 0;
    const std::size_t blocks = (count - block_frames) / hop_frames + 1;
    for (std::size_t b = 0; b < blocks; ++b)
        d_->add_block(frames + b * hop_frames * d_->n);
    return blocks;
}

void Beamformer::Impl::add_block(const float* frames)
{
    float* data = in.get();
    for (int t = 0; t < block_frames; ++t)
        for (int m = 0; m < n; ++m)
            data[m * block_frames + t] = frames[static_cast<std::size_t>(t) * n + m] * window[t];
    fftwf_execute(plan.get());
    std::vector<cplx> x(n);
    for (int k = 0; k < bins.count(); ++k) {
        for (int m = 0; m < n; ++m) {
            const fftwf_complex& v = out.get()[m * nb_bins + bins.first + k];
            x[m] = cplx(v[0], v[1]);
        }
        // C_ij += x_i conj(x_j), written out: std::complex's product also
        // checks for infinities, which costs more than the product.
        cplx* c = sum.data() + static_cast<std::size_t>(k) * n * n;
        for (int j = 0; j < n; ++j) {
            const double yr = x[j].real() * scale, yi = -x[j].imag() * scale;
            for (int i = 0; i < n; ++i) {
                const double xr = x[i].real(), xi = x[i].imag();
                c[j * n + i] += cplx(xr * yr - xi * yi, xr * yi + xi * yr);
            }
        }
    }
    ++blocks;
}

void Beamformer::Impl::fold_packet()
{
    if (blocks == 0)
        return;
    const double keep = has_average ? settings.smoothing : 0.0;
    const double weight = (1.0 - keep) / static_cast<double>(blocks);
    for (std::size_t e = 0; e < sum.size(); ++e) {
        average[e] = keep * average[e] + weight * sum[e];
        sum[e] = cplx{};
    }
    blocks = 0;
    has_average = true;
    std::fill(diag.begin(), diag.end(), 0.0f);
    for (std::size_t e = 0; e < average.size(); ++e) {
        c_re[e] = static_cast<float>(average[e].real());
        c_im[e] = static_cast<float>(average[e].imag());
    }
    for (int k = 0; k < bins.count(); ++k)
        for (int m = 0; m < n; ++m)
            diag[m] += c_re[(static_cast<std::size_t>(k) * n + m) * n + m];
}

// h^H C h summed over the band, h the point's steering vector at each bin.
// C is Hermitian: its diagonal gives sum |h_m|^2 C_mm, the same weights at
// every bin, and each pair above it counts twice, 2 Re(conj(h_i) C_ij h_j),
// gathered column after column as w = (strict upper part of C) h.
float Beamformer::Impl::point_power(std::size_t p) const
{
    float h_re[max_microphones], h_im[max_microphones], w_re[max_microphones],
        w_im[max_microphones];
    const Steer* s = steer.data() + p * n;
    for (int m = 0; m < n; ++m) {
        h_re[m] = s[m].amplitude * s[m].first_re;
        h_im[m] = s[m].amplitude * s[m].first_im;
    }
    float pairs = 0.0f;
    for (int k = 0; k < bins.count(); ++k) {
        const float* cr = c_re.data() + static_cast<std::size_t>(k) * n * n;
        const float* ci = c_im.data() + static_cast<std::size_t>(k) * n * n;
        std::fill(w_re, w_re + n, 0.0f);
        std::fill(w_im, w_im + n, 0.0f);
        for (int j = 1; j < n; ++j) {
            const float hr = h_re[j], hi = h_im[j];
            const float* col_re = cr + static_cast<std::size_t>(j) * n;
            const float* col_im = ci + static_cast<std::size_t>(j) * n;
            for (int i = 0; i < j; ++i) {
                w_re[i] += col_re[i] * hr - col_im[i] * hi;
                w_im[i] += col_re[i] * hi + col_im[i] * hr;
            }
        }
        for (int m = 0; m < n; ++m) {
            pairs += h_re[m] * w_re[m] + h_im[m] * w_im[m];
            const float re = h_re[m] * s[m].step_re - h_im[m] * s[m].step_im;
            h_im[m] = h_re[m] * s[m].step_im + h_im[m] * s[m].step_re;
            h_re[m] = re;
        }
    }
    if (settings.remove_diagonal)
        return 2.0f * pairs * diagonal_norm[p];
    float own = 0.0f;
    for (int m = 0; m < n; ++m)
        own += s[m].amplitude * s[m].amplitude * diag[m];
    return own + 2.0f * pairs;
}

bool Beamformer::compute(Map& out)
{
    Impl& d = *d_;
    if (!ready())
        return false;
    d.fold_packet();
    if (!d.has_average)
        return false;
    const int side = d.settings.grid.side();
    const std::size_t points = static_cast<std::size_t>(side) * side;
    out.side = side;
    out.level_db.resize(points);
    float top = 0.0f;
    std::size_t top_point = 0;
    for (std::size_t p = 0; p < points; ++p) {
        out.level_db[p] = d.point_power(p);
        if (out.level_db[p] > top || p == 0) {
            top = out.level_db[p];
            top_point = p;
        }
    }
    // Levels 120 dB below the maximum and lower (or negative powers once the
    // diagonal is removed) are shown at that floor.
    const float floor = top > 0.0f ? top * 1e-12f : std::numeric_limits<float>::min();
    out.min_db = std::numeric_limits<float>::max();
    for (float& level : out.level_db) {
        level = 10.0f * std::log10(std::max(level, floor));
        out.min_db = std::min(out.min_db, level);
    }
    out.max_db = out.level_db[top_point];
    out.max_x = d.settings.grid.coordinate(static_cast<int>(top_point % side));
    out.max_y = d.settings.grid.coordinate(static_cast<int>(top_point / side));
    return true;
}

} // namespace SonivarACQ32::acoustic_map
