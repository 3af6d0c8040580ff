#include "map/matrix_methods.h"

#include "map/quadratic_forms.h"

#include <Eigen/Dense>

#include <algorithm>
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

// Each bin's transformed matrix, in the layout the kernel reads.
struct BandMatrices {
    std::vector<std::vector<float>> re, im;
    void put(int k, const Matrix& m)
    {
        const auto n = static_cast<std::size_t>(m.rows());
        re[k].resize(n * n);
        im[k].resize(n * n);
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t i = 0; i < n; ++i) {
                re[k][j * n + i] = static_cast<float>(m(i, j).real());
                im[k][j * n + i] = static_cast<float>(m(i, j).imag());
            }
    }
};

// |h|^2 of every point: the same at every bin.
std::vector<double> steering_gains(const Steering& s)
{
    std::vector<double> gain(s.points(), 0.0);
    for (std::size_t p = 0; p < s.points(); ++p)
        for (int m = 0; m < s.microphones(); ++m)
            gain[p] += static_cast<double>(s.amplitude(p, m)) * s.amplitude(p, m);
    return gain;
}

// Runs the kernel over the transformed matrices and turns each form, q =
// h^H M h, into a power with `power_of(q / |h|^2, |h|^2)`, summed over the band.
template <typename PowerOf>
void band_powers(const MethodInput& in, const BandMatrices& band, std::span<float> out, PowerOf power_of)
{
    const std::vector<double> gain = steering_gains(in.steering);
    std::fill(out.begin(), out.end(), 0.0f);
    band_forms(
        in.steering, [&](int k) { return band.re[k].data(); }, [&](int k) { return band.im[k].data(); },
        true, [&](int, std::size_t first, std::size_t count, const float* q) {
            for (std::size_t p = 0; p < count; ++p) {
                const double g = gain[first + p];
                const double unit = std::max(static_cast<double>(q[p]) / g, std::numeric_limits<double>::min());
                out[first + p] += static_cast<float>(power_of(unit, g));
            }
        });
}

std::string degenerate() { return "Matrice interspectrale dégénérée : pas de carte"; }

} // namespace

std::string Functional::powers(const MethodInput& in, std::span<float> out)
{
    const CrossSpectra& c = in.spectra;
    const double nu = std::clamp(in.parameters.exponent, 1.0, 200.0);
    BandMatrices band{std::vector<std::vector<float>>(c.bins().count()),
                      std::vector<std::vector<float>>(c.bins().count())};
    for (int k = 0; k < c.bins().count(); ++k) {
        const Eigen::SelfAdjointEigenSolver<Matrix> eigen(matrix_of(c, k));
        if (eigen.info() != Eigen::Success || !eigen.eigenvalues().allFinite())
            return degenerate();
        const Eigen::VectorXd roots =
            eigen.eigenvalues().cwiseMax(0.0).unaryExpr([nu](double v) { return std::pow(v, 1.0 / nu); });
        band.put(k, eigen.eigenvectors() * roots.asDiagonal() * eigen.eigenvectors().adjoint());
    }
    band_powers(in, band, out, [nu](double unit, double gain) { return std::pow(unit, nu) * gain; });
    return {};
}

} // namespace SonivarACQ32::acoustic_map
