#pragma once
// The live map's picture drawn on the map worker's thread, so that the
// window's thread only shows it: the window publishes how it shows maps
// (the levels shown, the microphones, the point listened to, the photo)
// whenever it draws one itself, and each map the worker makes is drawn with
// the view last published. The window uses the picture when it was drawn
// with the view still in force, and draws the map itself otherwise.
#include "map/live_mapper.h"
#include "picture/map_picture.h"

#include <QImage>
#include <QPointF>

#include <cmath>

#include <mutex>
#include <optional>
#include <vector>

namespace SonivarACQ32 {

// A view of the map but the map and what comes with it (its grid, caption).
struct VueCarte {
    int range_db = 20;
    float top_db = std::nanf("");  // NaN: the map's own maximum
    std::vector<acoustic_map::Position> microphones;
    std::optional<QPointF> listening;
    std::optional<acoustic_map::Backdrop> backdrop;
    bool relecture = false;  // a recording's map, not the live run's
    int pixels = acoustic_map::view_pixels;  // the picture's side, about
    std::vector<acoustic_map::Zone> zones;

    static VueCarte of(const acoustic_map::MapView& view, bool relecture);
    // `view` with this one's choices, for `map` made with `settings`.
    void apply(acoustic_map::MapView& view, const acoustic_map::Map& map,
               const acoustic_map::Settings& settings) const;
    bool same_as(const VueCarte& other) const;
};

// What the map shows: live or a recording, the method and its parameter,
// the band.
QString caption_of(const acoustic_map::Settings& settings, bool relecture);

struct CarteDessinee {
    QImage picture;  // null: no view published yet, or no map
    VueCarte vue;    // the view it was drawn with
};

class PeintreCarte {
public:
    void publie(const VueCarte& vue);  // the window's thread
    CarteDessinee dessine(const acoustic_map::MapOutcome& outcome) const;  // the worker's

private:
    mutable std::mutex mutex_;
    std::optional<VueCarte> vue_;
};

} // namespace SonivarACQ32
