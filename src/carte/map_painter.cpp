#include "carte/map_painter.h"

#include "app/format.h"

#include <cmath>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

bool same_place(const am::Position& a, const am::Position& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

bool same_backdrop(const std::optional<am::Backdrop>& a, const std::optional<am::Backdrop>& b)
{
    if (!a || !b)
        return !a && !b;
    const auto same_placement = [](const am::PicturePlacement& p, const am::PicturePlacement& q) {
        return p.centre_m == q.centre_m && p.width_m == q.width_m && p.height_m == q.height_m &&
               p.rotation_deg == q.rotation_deg && p.mirror == q.mirror;
    };
    return a->photo.cacheKey() == b->photo.cacheKey() && same_placement(a->place, b->place) && a->camera == b->camera &&
           a->opacity == b->opacity && a->threshold_db == b->threshold_db;
}

} // namespace

QString caption_of(const am::Settings& s, bool relecture)
{
    return (relecture ? QStringLiteral("Relecture\n") : QStringLiteral("Direct\n")) +
           am::method_line(s, am::french_number) + QStringLiteral("\n") + am::band_line(s, false);
}

VueCarte VueCarte::of(const am::MapView& view, bool relecture)
{
    VueCarte vue;
    vue.range_db = view.range_db;
    vue.top_db = view.top_db;
    vue.microphones = view.microphones;
    vue.listening = view.listening;
    if (view.backdrop != nullptr)
        vue.backdrop = *view.backdrop;
    vue.relecture = relecture;
    vue.pixels = view.pixels;
    vue.zones = view.zones;
    return vue;
}

void VueCarte::apply(am::MapView& view, const am::Map& map, const am::Settings& settings) const
{
    view.map = &map;
    view.grid = settings.grid;
    view.range_db = range_db;
    view.top_db = top_db;
    view.microphones = microphones;
    view.listening = listening;
    view.backdrop = backdrop ? &*backdrop : nullptr;
    view.caption = caption_of(settings, relecture);
    view.pixels = pixels;
    view.zones = zones;
}

bool VueCarte::same_as(const VueCarte& o) const
{
    const bool same_top = (std::isnan(top_db) && std::isnan(o.top_db)) || top_db == o.top_db;
    return range_db == o.range_db && relecture == o.relecture && pixels == o.pixels && same_top &&
           listening == o.listening && zones == o.zones &&
           std::equal(microphones.begin(), microphones.end(), o.microphones.begin(), o.microphones.end(),
                      same_place) &&
           same_backdrop(backdrop, o.backdrop);
}

void PeintreCarte::publie(const VueCarte& vue)
{
    const std::lock_guard lock(mutex_);
    vue_ = vue;
}

CarteDessinee PeintreCarte::dessine(const am::MapOutcome& outcome) const
{
    CarteDessinee done;
    {
        const std::lock_guard lock(mutex_);
        if (!vue_ || !outcome.valid)
            return done;
        done.vue = *vue_;
    }
    am::MapView view;
    done.vue.apply(view, outcome.map, outcome.settings);
    done.picture = am::draw_map(view);
    return done;
}

} // namespace SonivarACQ32
