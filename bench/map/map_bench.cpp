// One map per packet is what the run loop computes while the map window is
// open: the blocks of one packet into the cross-spectral matrices, then the
// grid.
#include "map/beamformer.h"
#include "map/geometry.h"
#include "map/zone_spectrum.h"
#include "map/zones.h"
#include "point_source_signals.h"

#include <benchmark/benchmark.h>

namespace {

using namespace SonivarACQ32::acoustic_map;

constexpr double rate = 50000.0;
constexpr std::size_t packet_frames = 7943;

void one_map(benchmark::State& state, bool remove_diagonal, MethodKind method = MethodKind::delay_and_sum)
{
    const GeometryResult g = read_geometry(SONIVAR_EXAMPLE_GEOMETRY);
    if (!g.geometry) {
        state.SkipWithError(g.error.c_str());
        return;
    }
    const auto& mics = g.geometry->positions;
    Settings settings;  // 3 150 Hz third-octave, +-1 m by 0.05 m at 1 m
    settings.remove_diagonal = remove_diagonal;
    settings.method = method;
    Beamformer beamformer;
    if (const std::string why = beamformer.configure(mics, rate, settings); !why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    const auto frames =
        testsupport::point_source_frames({{0.3, -0.2, 1.0}}, mics, rate, packet_frames, 10.0);
    Map map;
    for (auto _ : state) {
        beamformer.add_frames(frames.data(), packet_frames);
        benchmark::DoNotOptimize(beamformer.compute(map));
    }
    state.counters["grid"] = map.side;
    state.counters["max_x"] = map.max_x;
    state.counters["max_y"] = map.max_y;
}

void BM_MapOfOnePacket(benchmark::State& state) { one_map(state, false); }
void BM_MapOfOnePacketDiagonalRemoved(benchmark::State& state) { one_map(state, true); }
void BM_FunctionalMapOfOnePacket(benchmark::State& state)
{
    one_map(state, false, MethodKind::functional);
}
void BM_CaponMapOfOnePacket(benchmark::State& state) { one_map(state, false, MethodKind::capon); }
void BM_CleanScMapOfOnePacket(benchmark::State& state) { one_map(state, false, MethodKind::clean_sc); }
void BM_CleanScMapOfOnePacketDiagonalRemoved(benchmark::State& state)
{
    one_map(state, true, MethodKind::clean_sc);
}

// The cost of a settings change: the steering of every grid point.
void BM_ConfigureGrid(benchmark::State& state)
{
    const GeometryResult g = read_geometry(SONIVAR_EXAMPLE_GEOMETRY);
    if (!g.geometry) {
        state.SkipWithError(g.error.c_str());
        return;
    }
    Beamformer beamformer;
    for (auto _ : state)
        benchmark::DoNotOptimize(beamformer.configure(g.geometry->positions, rate, Settings{}));
}

// Five zones of the live map: a rectangle and a circle about the source,
// three elsewhere.
const std::vector<Zone>& five_zones()
{
    static const std::vector<Zone> zones = {
        {"source", Zone::Shape::circle, 0.3, -0.2, 0.0, 0.0, 0.2},   {"cadre", Zone::Shape::rectangle, 0.1, -0.4, 0.5, 0.0},
        {"gauche", Zone::Shape::rectangle, -0.9, -0.5, -0.4, 0.5}, {"haut", Zone::Shape::circle, 0.0, 0.7, 0.0, 0.0, 0.25},
        {"bas", Zone::Shape::rectangle, -0.3, -0.9, 0.3, -0.6}};
    return zones;
}

// The zones' levels of a map once it is computed: `spectra` adds each
// zone's third-octave spectrum (100 Hz to the last whole band, from one
// average over all their bins). state.range(0) is the method.
void BM_FiveZonesPerMap(benchmark::State& state, bool spectra)
{
    const GeometryResult g = read_geometry(SONIVAR_EXAMPLE_GEOMETRY);
    Settings settings;
    settings.method = all_methods()[static_cast<std::size_t>(state.range(0))];
    Beamformer beamformer;
    CrossSpectra wide;
    if (!g.geometry || !beamformer.configure(g.geometry->positions, rate, settings).empty() ||
        !wide.configure(32, zone_spectrum_bins(rate)).empty()) {
        state.SkipWithError("no map");
        return;
    }
    const auto frames = testsupport::point_source_frames({{0.3, -0.2, 1.0}}, g.geometry->positions, rate, packet_frames, 10.0);
    beamformer.add_frames(frames.data(), packet_frames);
    wide.add_frames(frames.data(), packet_frames);
    wide.fold(0.0);
    Map map;
    beamformer.compute(map);
    ZoneMeter meter;
    meter.set(beamformer.zone_setting(), beamformer.steering());
    for (auto _ : state) {
        benchmark::DoNotOptimize(meter.powers(beamformer.powers(), beamformer.spectra(), five_zones()));
        if (spectra)
            benchmark::DoNotOptimize(zone_spectrum(wide, beamformer.zone_setting(), five_zones(), false));
    }
    state.SetLabel(method_key(settings.method));
}
void BM_FiveZoneLevelsPerMap(benchmark::State& state) { BM_FiveZonesPerMap(state, false); }
void BM_FiveZoneSpectraPerMap(benchmark::State& state) { BM_FiveZonesPerMap(state, true); }

} // namespace

BENCHMARK(BM_FiveZoneLevelsPerMap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FiveZoneSpectraPerMap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapOfOnePacketDiagonalRemoved)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FunctionalMapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaponMapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanScMapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanScMapOfOnePacketDiagonalRemoved)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConfigureGrid)->Unit(benchmark::kMillisecond);
