// sonivar-dat map --video: an MP4 that ffprobe reads, with the frames and
// the rate asked, each frame the map of its own time over the camera's
// picture recorded at that time.
#include "cli_run.h"
#include "recording_maker.h"
#include "point_source_signals.h"

#include "map/geometry.h"
#include "picture/camera_video.h"

#include <QImage>

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

// 2 s of a 3150 Hz source at (0.3, -0.2, 1) m on all 32 microphones.
fs::path source_recording(const fs::path& dir, testsupport::RecordingPlan& plan)
{
    plan.micros.clear();
    for (int m = 0; m < 32; ++m)
        plan.micros.push_back(m);
    plan.frames = 100000;
    const auto mics = am::read_geometry(SONIVAR_EXAMPLE_GEOMETRY).geometry->positions;
    const auto frames = testsupport::point_source_frames({{0.3, -0.2, 1.0}, 3150.0, 1e6}, mics, plan.freq, plan.frames);
    std::vector<std::uint32_t> words;
    for (std::uint32_t f = 0; f < plan.frames; ++f) {
        words.push_back(f);
        for (int m = 0; m < 32; ++m)
            words.push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(frames[f * 32 + m]))));
    }
    return testsupport::write_recording(dir, "source", plan, words);
}

// Image n of an MP4, decoded by ffmpeg.
QImage video_image(const fs::path& video, int n)
{
    const std::string command = "/usr/bin/ffmpeg -v error -i '" + video.string() + "' -vf 'select=eq(n\\," +
                                std::to_string(n) + ")' -frames:v 1 -f image2pipe -vcodec ppm -";
    QByteArray ppm;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            ppm.append(buffer, static_cast<qsizetype>(got));
        ::pclose(pipe);
    }
    return QImage::fromData(ppm, "PPM");
}

// The share of an image's pixels near `colour`.
double share_near(const QImage& image, QColor colour)
{
    qint64 near = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            near += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                        std::abs(c.blue() - colour.blue()) < 90;
        }
    return image.isNull() ? 0.0 : static_cast<double>(near) / (image.width() * image.height());
}

TEST(MapVideo, FfprobeReadsTheFramesAtTheRateAsked)
{
    testsupport::TempDir dir;
    testsupport::RecordingPlan plan;
    const fs::path dat = source_recording(dir.path(), plan);
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

// The camera's pictures recorded beside the run lie under the maps: each
// image shows the one taken at its instant.
TEST(MapVideo, EachImageLiesOverTheCameraPictureOfItsInstant)
{
    testsupport::TempDir dir;
    testsupport::RecordingPlan plan;
    const fs::path dat = source_recording(dir.path(), plan);
    const QColor before(255, 0, 255), after(128, 128, 0);  // colours no map has
    SonivarACQ32::picture::CameraVideoWriter camera;
    std::string error;
    ASSERT_TRUE(camera.open((dir.path() / "source.mkv").string(), QSize(320, 240), plan.freq, error,
                            {"essai", am::CameraGeometry{}}))
        << error;
    for (std::uint64_t frame = 0; frame < plan.frames; frame += 2000) {  // 25 pictures a second
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(frame < plan.frames / 2 ? before : after);
        ASSERT_TRUE(camera.add(picture, frame, error)) << error;
    }
    ASSERT_TRUE(camera.close(error)) << error;
    const fs::path video = dir.path() / "carte.mp4";
    const testsupport::Outcome c = testsupport::run({"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq",
                                                     "3150", "--fps", "10", "--video", video.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_NE(c.out.find("images de la caméra (source.mkv)"), std::string::npos) << c.out;
    for (const auto& [n, shown, hidden] : {std::tuple{3, before, after}, std::tuple{14, after, before}}) {
        const QImage image = video_image(video, n);
        ASSERT_FALSE(image.isNull()) << n;
        EXPECT_GT(share_near(image, shown), 0.05) << n;  // the picture covers a part of the map
        EXPECT_LT(share_near(image, hidden), 0.01) << n;
    }
}

} // namespace
