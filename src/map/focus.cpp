#include "map/focus.h"

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::acoustic_map {

std::array<double, 4> lagrange_weights(double mu)
{
    return {-mu * (mu - 1.0) * (mu - 2.0) / 6.0, (mu + 1.0) * (mu - 1.0) * (mu - 2.0) / 2.0,
            -(mu + 1.0) * mu * (mu - 2.0) / 2.0, (mu + 1.0) * mu * (mu - 1.0) / 6.0};
}

Focuser::Focuser(const std::vector<Position>& mics, const Position& point, double rate, double speed)
    : channels_(mics.size())
{
    if (mics.empty())
        return;
    const Position centre = array_centre(mics);
    const auto distance = [&](const Position& p) {
        return std::hypot(point.x - p.x, point.y - p.y, point.z - p.z);
    };
    const double r0 = std::max(distance(centre), 1e-6);
    double nearest = distance(mics[0]);
    for (const Position& m : mics)
        nearest = std::min(nearest, distance(m));
    for (const Position& m : mics) {
        // The sample one frame later than the advance, so that the first
        // interpolation point is never before the output's own frame.
        const double advance = (distance(m) - nearest) / speed * rate;
        const double whole = std::floor(advance);
        const double gain = distance(m) / r0 / static_cast<double>(mics.size());
        Tap tap{static_cast<std::size_t>(whole), {}};
        const auto w = lagrange_weights(advance - whole);
        for (int k = 0; k < 4; ++k)
            tap.weights[k] = static_cast<float>(w[k] * gain);
        lookahead_ = std::max(lookahead_, tap.offset + 3);
        taps_.push_back(tap);
    }
}

// The channels are kept apart so that the inner loop runs over contiguous
// samples.
void Focuser::add(const float* frames, std::size_t count, std::vector<float>& out)
{
    const std::size_t n_mics = taps_.size();
    if (n_mics == 0)
        return;
    for (std::size_t m = 0; m < n_mics; ++m) {
        std::vector<float>& channel = channels_[m];
        const std::size_t kept = channel.size();
        channel.resize(kept + count);
        for (std::size_t t = 0; t < count; ++t)
            channel[kept + t] = frames[t * n_mics + m];
    }
    const std::size_t held = channels_[0].size();
    if (held <= lookahead_)
        return;
    const std::size_t ready = held - lookahead_;
    const std::size_t first = out.size();
    out.resize(first + ready, 0.0f);
    float* y = out.data() + first;
    for (std::size_t m = 0; m < n_mics; ++m) {
        const Tap& tap = taps_[m];
        const float* x = channels_[m].data() + tap.offset;
        const auto [w0, w1, w2, w3] = tap.weights;
        for (std::size_t n = 0; n < ready; ++n)
            y[n] += w0 * x[n] + w1 * x[n + 1] + w2 * x[n + 2] + w3 * x[n + 3];
    }
    for (std::vector<float>& channel : channels_)
        channel.erase(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(ready));
}

} // namespace SonivarACQ32::acoustic_map
