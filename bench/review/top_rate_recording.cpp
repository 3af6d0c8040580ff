#include "top_rate_recording.h"

#include "map/geometry.h"
#include "point_source_signals.h"
#include "recording_maker.h"

#include <fstream>
#include <vector>

namespace fs = std::filesystem;
namespace am = SonivarACQ32::acoustic_map;

fs::path top_rate_recording(const fs::path& dir)
{
    testsupport::RecordingPlan plan;
    plan.micros.clear();
    for (int m = 0; m < 32; ++m)
        plan.micros.push_back(m);
    plan.status = true;
    plan.frames = top_rate_seconds * static_cast<std::uint32_t>(top_rate_hz);
    const fs::path dat = testsupport::write_recording(dir, "revue", plan, {});
    const auto mics = am::read_geometry(am::example_geometry_path).geometry->positions;
    const auto frames = testsupport::point_source_frames({{0.3, -0.2, 1.0}, 3150.0, 1e6}, mics, top_rate_hz,
                                                         static_cast<std::size_t>(top_rate_hz), 1e4);
    std::vector<std::uint32_t> words;
    for (std::size_t f = 0; f < static_cast<std::size_t>(top_rate_hz); ++f) {
        words.push_back(static_cast<std::uint32_t>(f));
        for (int m = 0; m < 32; ++m)
            words.push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(frames[f * 32 + m])));
        words.push_back(0);
    }
    std::ofstream out(dat, std::ios::binary | std::ios::trunc);
    for (std::uint32_t s = 0; s < top_rate_seconds; ++s)
        out.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(words.size() * 4));
    return dat;
}

