// The level computation of one run-loop pass: 32 microphones behind the
// counter (33 words a frame), 2000 frames of the newest packet.
#include "display/level_meter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace SonivarACQ32::levels;

std::vector<unsigned char> noisy_packet()
{
    std::vector<unsigned char> data(packet_bytes);
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : data)
        b = static_cast<unsigned char>(byte(gen));
    return data;
}

void BM_PacketLevels32Of33(benchmark::State& state)
{
    const auto data = noisy_packet();
    int indices[32];
    std::uint32_t packet = 0;
    std::vector<int> micros(32);
    for (int m = 0; m < 32; ++m)
        micros[m] = m;
    const auto layout = SonivarACQ32::stream::live_layout(33, true, micros, false);
    for (auto _ : state) {
        // Successive packets, so the frame offset varies as in a run.
        benchmark::DoNotOptimize(packet_levels(data.data(), packet++ % 8, layout, indices));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 32 * window_frames);
}
BENCHMARK(BM_PacketLevels32Of33)->Unit(benchmark::kMicrosecond);

} // namespace
