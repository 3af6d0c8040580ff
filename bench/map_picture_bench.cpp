// The live map's picture: what drawing one costs the thread that draws it
// (the map worker's), at the default grid, with and without a photo.
#include "picture/map_picture.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cmath>

namespace {

namespace am = SonivarACQ32::acoustic_map;

am::Map example_map(const am::Grid& grid)
{
    am::Map map;
    const int side = grid.side();
    map.level_db.resize(static_cast<std::size_t>(side) * side);
    for (int i = 0; i < side * side; ++i)
        map.level_db[i] = static_cast<float>(60.0 - 0.01 * ((i % side - 20) * (i % side - 20) + (i / side) * (i / side)));
    map.side = side;
    map.max_db = 60.0f;
    map.min_db = 30.0f;
    return map;
}

void draw(benchmark::State& state, bool photo)
{
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);  // fonts for the caption
    (void)app;
    am::Settings settings;
    const am::Map map = example_map(settings.grid);
    am::Backdrop backdrop;
    backdrop.photo = QImage(640, 480, QImage::Format_RGB32);
    backdrop.photo.fill(Qt::darkGreen);
    am::MapView view;
    view.map = &map;
    view.grid = settings.grid;
    view.microphones.assign(32, am::Position{0.1, 0.1, 0.0});
    view.caption = QStringLiteral("Formation de voies\n2 000 Hz, tiers d'octave");
    view.backdrop = photo ? &backdrop : nullptr;
    for (auto _ : state)
        benchmark::DoNotOptimize(am::draw_map(view));
}

void BM_DrawMap(benchmark::State& state) { draw(state, false); }
void BM_DrawMapOverPhoto(benchmark::State& state) { draw(state, true); }

} // namespace

BENCHMARK(BM_DrawMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawMapOverPhoto)->Unit(benchmark::kMillisecond);
