#pragma once
// The zones the operator draws on the map window's map: a drag draws a
// rectangle, Shift and a drag a circle from its centre, a drag that starts
// in a zone moves it; their levels come with each map, ranked in a table.
#include "map/zones.h"

#include <QPointF>

#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32 {

// A drag on the map, in metres.
struct GlisseZone {
    enum class Sorte { aucune, rectangle, cercle, deplacement };
    Sorte sorte = Sorte::aucune;
    QPointF depart;          // m, where the button went down
    QPointF pixel_depart;    // on the picture
    bool commence = false;   // gone far enough to be a drag, not a click
    int zone = -1;           // the zone moved
    acoustic_map::Zone avant;  // as it was before the move
    std::optional<acoustic_map::Zone> trace;  // the new zone as drawn so far
};

struct ZonesCarte {
    std::vector<acoustic_map::Zone> liste;
    // The sources' power of each zone of `liste` in the last map (linear);
    // empty while no map has measured them.
    std::vector<double> puissances;
    GlisseZone glisse;
};

// Pixels a press must move before it draws or moves rather than clicks.
constexpr double drag_threshold_px = 4.0;

// The zone a drag from `from` to `to` (m) draws: a rectangle with these
// corners, or a circle centred on `from` through `to`.
acoustic_map::Zone dragged_zone(QPointF from, QPointF to, bool circle, const std::string& name);
// "Zone 1", "Zone 2"...: the first not taken.
std::string free_zone_name(const std::vector<acoustic_map::Zone>& zones);
// The zone drawn last that holds `at` (the one on top); -1 when none does.
int zone_at(const std::vector<acoustic_map::Zone>& zones, QPointF at);
// `zone` moved by `by` metres.
acoustic_map::Zone moved_zone(acoustic_map::Zone zone, QPointF by);
// Why `name` cannot name zone `index` (empty, a character of the zones'
// text form, or another zone's), French; empty when it can.
std::string zone_name_problem(const std::vector<acoustic_map::Zone>& zones, int index, const std::string& name);
// The zones' indices, loudest first.
std::vector<int> zones_ranked(const std::vector<double>& powers);

} // namespace SonivarACQ32
