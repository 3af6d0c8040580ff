#include "map/matrix_methods.h"

#include "map/parallel.h"
#include "map/quadratic_forms.h"

#include <Eigen/Dense>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

namespace SonivarACQ32::acoustic_map {

namespace {

using Matrix = Eigen::MatrixXcd;

Matrix matrix_of(const CrossSpectra& c, int k)
{
    const int n = c.microphones();
    Matrix m(n, n);
    const float* re = c.re(k);
    const float* im = c.im(k);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            m(i, j) = {re[j * n + i], im[j * n + i]};
    return m;
}

// Each bin's eigenvectors (column after column) and the weight the method
// gives each eigenvalue, in the layout the kernel reads.
struct Eigenbasis {
    std::vector<float> v_re, v_im, weight;
};

// The bin's Hermitian eigendecomposition, each eigenvalue (negative ones,
// rounding noise, taken as zero) turned into a weight; false when the
// matrix cannot be decomposed.
template <typename Weight>
bool decompose(const CrossSpectra& c, int k, Weight weight_of, Eigenbasis& out)
{
    const Matrix m = matrix_of(c, k);
    const Eigen::SelfAdjointEigenSolver<Matrix> eigen(m);
    if (eigen.info() != Eigen::Success || !eigen.eigenvalues().allFinite())
        return false;
    const auto n = static_cast<std::size_t>(m.rows());
    const double trace = std::max(m.trace().real(), 0.0);
    out.v_re.resize(n * n);
    out.v_im.resize(n * n);
    out.weight.resize(n);
    for (std::size_t j = 0; j < n; ++j) {
        out.weight[j] = static_cast<float>(weight_of(std::max(eigen.eigenvalues()(j), 0.0), trace));
        for (std::size_t i = 0; i < n; ++i) {
            out.v_re[j * n + i] = static_cast<float>(eigen.eigenvectors()(i, j).real());
            out.v_im[j * n + i] = static_cast<float>(eigen.eigenvectors()(i, j).imag());
        }
    }
    return std::all_of(out.weight.begin(), out.weight.end(), [](float w) { return std::isfinite(w); });
}

// |h|^2 of every point: the same at every bin.
std::vector<double> steering_gains(const Steering& s)
{
    std::vector<double> gain(s.points(), 0.0);
    for (std::size_t p = 0; p < s.points(); ++p)
        for (int m = 0; m < s.microphones(); ++m)
            gain[p] += static_cast<double>(s.amplitude(p, m)) * s.amplitude(p, m);
    return gain;
}

std::string degenerate() { return "Matrice interspectrale dégénérée : pas de carte"; }

// The power of every point summed over the band: q = h^H M h for each bin's
// M = V diag(weights) V^H, turned into a power by power_of(q / |h|^2, |h|^2).
template <typename Weight, typename PowerOf>
std::string band_powers(const MethodInput& in, Weight weight_of, PowerOf power_of, std::span<float> out)
{
    const CrossSpectra& c = in.spectra;
    std::vector<Eigenbasis> bins(static_cast<std::size_t>(c.bins().count()));
    std::atomic<bool> whole = true;
    in_parts(bins.size(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k)
            if (!decompose(c, static_cast<int>(k), weight_of, bins[k]))
                whole = false;
    });
    if (!whole)
        return degenerate();
    const std::vector<double> gain = steering_gains(in.steering);
    const int n = in.steering.microphones();
    std::fill(out.begin(), out.end(), 0.0f);
    band_forms(
        in.steering,
        [&](int k, const float* h_re, const float* h_im, std::size_t count, float* q) {
            const Eigenbasis& b = bins[k];
            weighted_projections(b.v_re.data(), b.v_im.data(), b.weight.data(), n, n, h_re, h_im, count, q);
        },
        [&](int, std::size_t first, std::size_t count, const float* q) {
            for (std::size_t p = 0; p < count; ++p) {
                const double g = gain[first + p];
                const double unit = std::max(static_cast<double>(q[p]) / g, std::numeric_limits<double>::min());
                out[first + p] += static_cast<float>(power_of(unit, g));
            }
        });
    return {};
}

} // namespace

std::string Functional::powers(const MethodInput& in, std::span<float> out)
{
    const ParameterRange& range = *method_parameter(MethodKind::functional);
    const double nu = std::clamp(in.parameters.exponent, range.low, range.high);
    return band_powers(
        in, [nu](double lambda, double) { return std::pow(lambda, 1.0 / nu); },
        [nu](double unit, double gain) { return std::pow(unit, nu) * gain; }, out);
}

std::string Capon::powers(const MethodInput& in, std::span<float> out)
{
    const ParameterRange& range = *method_parameter(MethodKind::capon);
    const double loading = std::clamp(in.parameters.loading, range.low, range.high);
    return band_powers(
        in,
        [loading](double lambda, double trace) {
            return 1.0 / (lambda + loading * std::max(trace, std::numeric_limits<double>::min()));
        },
        [](double unit, double gain) { return gain / unit; }, out);
}

} // namespace SonivarACQ32::acoustic_map
