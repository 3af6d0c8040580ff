// One map per packet is what the run loop computes while the map window is
// open: the blocks of one packet into the cross-spectral matrices, then the
// grid.
#include "map/beamformer.h"
#include "map/geometry.h"
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

} // namespace

BENCHMARK(BM_MapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapOfOnePacketDiagonalRemoved)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FunctionalMapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaponMapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanScMapOfOnePacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanScMapOfOnePacketDiagonalRemoved)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConfigureGrid)->Unit(benchmark::kMillisecond);
