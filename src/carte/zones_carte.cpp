#include "carte/zones_carte.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace SonivarACQ32 {

namespace am = acoustic_map;

am::Zone dragged_zone(QPointF from, QPointF to, bool circle, const std::string& name)
{
    am::Zone zone;
    zone.name = name;
    zone.x0 = from.x();
    zone.y0 = from.y();
    if (circle) {
        zone.shape = am::Zone::Shape::circle;
        zone.r = std::hypot(to.x() - from.x(), to.y() - from.y());
    } else {
        zone.x1 = to.x();
        zone.y1 = to.y();
    }
    return zone;
}

std::string free_zone_name(const std::vector<am::Zone>& zones)
{
    for (int n = 1;; ++n) {
        const std::string name = "Zone " + std::to_string(n);
        if (std::none_of(zones.begin(), zones.end(), [&](const am::Zone& z) { return z.name == name; }))
            return name;
    }
}

int zone_at(const std::vector<am::Zone>& zones, QPointF at)
{
    for (int z = static_cast<int>(zones.size()) - 1; z >= 0; --z)
        if (zones[static_cast<std::size_t>(z)].contains(at.x(), at.y()))
            return z;
    return -1;
}

am::Zone moved_zone(am::Zone zone, QPointF by)
{
    zone.x0 += by.x();
    zone.y0 += by.y();
    zone.x1 += by.x();
    zone.y1 += by.y();
    return zone;
}

std::string zone_name_problem(const std::vector<am::Zone>& zones, int index, const std::string& name)
{
    if (name.empty() || name.find_first_of(",:") != std::string::npos)
        return "Nom de zone invalide : ni vide, ni virgule, ni deux-points";
    for (std::size_t z = 0; z < zones.size(); ++z)
        if (static_cast<int>(z) != index && zones[z].name == name)
            return "Nom de zone déjà pris : " + name;
    return {};
}

std::vector<int> zones_ranked(const std::vector<double>& powers)
{
    std::vector<int> order(powers.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return powers[static_cast<std::size_t>(a)] > powers[static_cast<std::size_t>(b)];
    });
    return order;
}

} // namespace SonivarACQ32
