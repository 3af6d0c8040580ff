// sonivar-dat map --video: an MP4 that ffprobe reads, with the frames and
// the rate asked, each frame the map of its own time.
#include "cli_run.h"
#include "recording_maker.h"
#include "point_source_signals.h"

#include "map/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;
namespace am = SonivarACQ32::acoustic_map;

// What ffprobe says of the video stream: "key=value" lines into a map.
std::map<std::string, std::string> probe(const fs::path& video)
{
    const std::string command = "/usr/bin/ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=codec_name,nb_read_frames,r_frame_rate,width,height,pix_fmt -of default=nw=1 '" +
                                video.string() + "'";
    std::map<std::string, std::string> facts;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            std::string text(line);
            const std::size_t eq = text.find('=');
            if (eq != std::string::npos)
                facts[text.substr(0, eq)] = text.substr(eq + 1, text.find_last_not_of("\r\n") - eq);
        }
        ::pclose(pipe);
    }
    return facts;
}

TEST(MapVideo, FfprobeReadsTheFramesAtTheRateAsked)
{
    testsupport::TempDir dir;
    testsupport::RecordingPlan plan;
    plan.micros.clear();
    for (int m = 0; m < 32; ++m)
        plan.micros.push_back(m);
    plan.frames = 100000;  // 2 s
    const auto mics = am::read_geometry(SONIVAR_EXAMPLE_GEOMETRY).geometry->positions;
    const auto frames = testsupport::point_source_frames({{0.3, -0.2, 1.0}, 3150.0, 1e6}, mics, plan.freq, plan.frames);
    std::vector<std::uint32_t> words;
    for (std::uint32_t f = 0; f < plan.frames; ++f) {
        words.push_back(f);
        for (int m = 0; m < 32; ++m)
            words.push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(frames[f * 32 + m]))));
    }
    const fs::path dat = testsupport::write_recording(dir.path(), "source", plan, words);
    const fs::path video = dir.path() / "carte.mp4";
    const testsupport::Outcome c = testsupport::run({"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq",
                                                     "3150", "--from", "0.2", "--to", "1.7", "--fps", "10", "--video",
                                                     video.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_NE(c.out.find("15 images à 10 images/s"), std::string::npos) << c.out;
    const auto facts = probe(video);
    EXPECT_EQ(facts.at("codec_name"), "h264");
    EXPECT_EQ(facts.at("pix_fmt"), "yuv420p");
    EXPECT_EQ(facts.at("nb_read_frames"), "15");
    EXPECT_EQ(facts.at("r_frame_rate"), "10/1");
    EXPECT_EQ(std::stoi(facts.at("width")) % 2, 0);
    for (const fs::directory_entry& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".carte"), std::string::npos) << "a temporary file left: " << e.path();
}

} // namespace
