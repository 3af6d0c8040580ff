#include "map/zones.h"

#include "spectra/csm.h"
#include "stream/french_text.h"

#include <Eigen/Dense>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <numeric>

namespace SonivarACQ32::acoustic_map {

namespace {

std::optional<std::vector<double>> numbers(const std::string& text)
{
    std::vector<double> values;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        double v = 0.0;
        const auto [end, ec] = std::from_chars(text.data() + from, text.data() + comma, v);
        if (ec != std::errc() || end != text.data() + comma || !std::isfinite(v))
            return std::nullopt;
        values.push_back(v);
        from = comma + 1;
    }
    return values;
}

} // namespace

bool Zone::contains(double x, double y) const
{
    if (shape == Shape::circle)
        return std::hypot(x - x0, y - y0) <= r + 1e-9;
    return x >= std::min(x0, x1) - 1e-9 && x <= std::max(x0, x1) + 1e-9 && y >= std::min(y0, y1) - 1e-9 &&
           y <= std::max(y0, y1) + 1e-9;
}

std::optional<Zone> parse_zone(const std::string& text, std::string& why)
{
    const std::size_t colon = text.find(':');
    Zone zone;
    zone.name = text.substr(0, std::min(colon, text.size()));
    if (colon == std::string::npos || zone.name.empty() || zone.name.find(',') != std::string::npos) {
        why = "zone illisible : " + text + " (NOM:x0,y0,x1,y1 ou NOM:@x,y,r)";
        return std::nullopt;
    }
    const bool circle = colon + 1 < text.size() && text[colon + 1] == '@';
    const auto values = numbers(text.substr(colon + (circle ? 2 : 1)));
    if (!values || values->size() != (circle ? 3u : 4u) || (circle && !((*values)[2] > 0.0))) {
        why = "zone illisible : " + text + (circle ? " (NOM:@x,y,r, un rayon positif en mètres)"
                                                    : " (NOM:x0,y0,x1,y1 en mètres)");
        return std::nullopt;
    }
    const std::vector<double>& v = *values;
    zone.shape = circle ? Zone::Shape::circle : Zone::Shape::rectangle;
    zone.x0 = v[0];
    zone.y0 = v[1];
    if (circle)
        zone.r = v[2];
    else {
        zone.x1 = v[2];
        zone.y1 = v[3];
    }
    return zone;
}

std::string zone_text(const Zone& zone)
{
    const auto metres = [](double v) { return stream::dot_decimal(v, 3); };
    if (zone.shape == Zone::Shape::circle)
        return zone.name + ":@" + metres(zone.x0) + ',' + metres(zone.y0) + ',' + metres(zone.r);
    return zone.name + ':' + metres(zone.x0) + ',' + metres(zone.y0) + ',' + metres(zone.x1) + ',' + metres(zone.y1);
}

std::vector<std::size_t> zone_points(const Zone& zone, const Grid& grid)
{
    std::vector<std::size_t> points;
    const int side = grid.side();
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i)
            if (zone.contains(grid.coordinate(i), grid.coordinate(j)))
                points.push_back(static_cast<std::size_t>(j) * side + i);
    return points;
}

std::string zone_problem(const Zone& zone, const Grid& grid)
{
    const double cx = zone.centre_x(), cy = zone.centre_y();
    if (std::abs(cx) > grid.extent + 1e-9 || std::abs(cy) > grid.extent + 1e-9)
        return "zone « " + zone.name + " » : son centre est hors de la carte";
    if (zone_points(zone, grid).empty())
        return "zone « " + zone.name + " » : aucun point de la grille dedans (pas de " +
               french_number(grid.step, 3) + " m)";
    return {};
}

std::vector<float> point_response(const ZoneSetting& setting, const Steering& steering, const Position& at,
                                  double noise)
{
    const std::size_t n = setting.microphones.size();
    const std::vector<SteeringWeight> paths = propagation(at, setting.microphones, setting.speed_of_sound);
    CrossSpectra spectra;
    spectra.configure(static_cast<int>(n), setting.bins);
    spectra.set_weights(setting.weights);
    std::vector<std::complex<double>> c(n * n), a(n);
    for (int k = 0; k < setting.bins.count(); ++k) {
        const double w = 2.0 * std::numbers::pi * bin_frequency(setting.bins.first + k, setting.sample_rate);
        for (std::size_t m = 0; m < n; ++m)
            a[m] = std::polar(paths[m].amplitude, -w * paths[m].delay);
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t i = 0; i < n; ++i)
                c[j * n + i] = a[i] * std::conj(a[j]);
        for (std::size_t m = 0; m < n; ++m)
            c[m * n + m] += noise;
        spectra.set_average(k, c);
    }
    std::vector<float> out(steering.points());
    make_method(setting.method)->powers({spectra, steering, setting.remove_diagonal, setting.parameters}, out);
    return out;
}

double noise_power(const CrossSpectra& data)
{
    const int n = data.microphones();
    const int bins = data.has_average() ? data.bins().count() : 0;
    double sum = 0.0;
    for (int k = 0; k < bins; ++k) {
        Eigen::MatrixXcd c(n, n);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                c(i, j) = {data.re(k)[j * n + i], data.im(k)[j * n + i]};
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd> solver(c, Eigen::EigenvaluesOnly);
        sum += std::max(0.0, solver.eigenvalues()(0));
    }
    return bins > 0 ? sum / bins : 0.0;
}

void ZoneMeter::set(const ZoneSetting& setting, const Steering& steering)
{
    setting_ = setting;
    steering_ = &steering;
    responses_.clear();
}

double ZoneMeter::response_sum(const Zone& zone, const std::vector<std::size_t>& points, double noise_ratio)
{
    const std::vector<float> response =
        point_response(setting_, *steering_, {zone.centre_x(), zone.centre_y(), setting_.grid.z}, noise_ratio);
    double sum = 0.0;
    for (std::size_t p : points)
        sum += response[p];
    // Per unit of the band's power: the map sums the band's bins (each
    // weighted), the unit source has a power of 1 in each.
    double band = 0.0;
    for (int k = 0; k < setting_.bins.count(); ++k)
        band += setting_.weights.empty() ? 1.0 : setting_.weights[static_cast<std::size_t>(k)];
    return sum / std::max(band, 1e-30);
}

std::vector<double> ZoneMeter::powers(const std::vector<float>& map_power, const CrossSpectra& data,
                                      const std::vector<Zone>& zones)
{
    const ZoneRule rule = describe(setting_.method).zone_rule;
    const double noise = rule == ZoneRule::normalised_by_response ? noise_power(data) : 0.0;
    std::vector<double> out;
    for (const Zone& zone : zones) {
        const std::vector<std::size_t> points = zone_points(zone, setting_.grid);
        double sum = 0.0, peak = 0.0;
        for (std::size_t p : points) {
            const double power = p < map_power.size() ? map_power[p] : 0.0;
            sum += power;
            peak = std::max(peak, power);
        }
        if (rule == ZoneRule::peak)
            out.push_back(peak);
        else
            out.push_back(rule == ZoneRule::sum || points.empty() ? sum : integrated(zone, points, sum, noise));
    }
    return out;
}

// The methods answer a source of power p over noise s as p times their
// answer to a unit source over noise s / p: the zone's power is found by
// a few rounds from the answer without noise.
double ZoneMeter::integrated(const Zone& zone, const std::vector<std::size_t>& points, double sum, double noise)
{
    auto kept = responses_.find(points);
    if (kept == responses_.end())
        kept = responses_.emplace(points, response_sum(zone, points, 0.0)).first;
    double power = kept->second > 0.0 ? sum / kept->second : 0.0;
    const double bins = std::max(setting_.bins.count(), 1);
    for (int round = 0; round < 3 && noise > 0.0 && power > 0.0; ++round) {
        const double response = response_sum(zone, points, noise * bins / power);  // per bin
        power = response > 0.0 ? sum / response : 0.0;
    }
    return power;
}

} // namespace SonivarACQ32::acoustic_map
