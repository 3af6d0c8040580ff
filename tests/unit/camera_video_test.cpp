// A camera's pictures recorded beside a run: each stamped with its .dat
// frame, read back in order with the camera's tags, readable by ffprobe, and still readable when
// the writer never closed it (a killed program).
#include "picture/camera_video.h"
#include "ffprobe.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace pic = SonivarACQ32::picture;

namespace {

constexpr double rate = 50000.0;
constexpr std::uint64_t frames_per_picture = 2000;  // 25 pictures a second

QImage picture(int k)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((k * 37) % 360, 255, 230));
    return image;
}

TEST(CameraVideo, EachPictureStampedReadBackAndAKilledWriterLeavesAReadableFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("essai.mkv"));
    const QString cut = dir.filePath(QStringLiteral("coupe.mkv"));
    pic::CameraVideoWriter writer;
    std::string error;
    pic::CameraTags tags{"Caméra « essai »", SonivarACQ32::acoustic_map::CameraGeometry{72.5, -12.0, 80.0, true, 90}};
    ASSERT_TRUE(writer.open(path.toStdString(), QSize(320, 240), rate, error, tags)) << error;
    std::vector<std::uint64_t> stamps;
    for (int k = 0; k < 75; ++k) {
        stamps.push_back(1000 + k * frames_per_picture + (k % 3));  // not a round time
        ASSERT_TRUE(writer.add(picture(k), stamps.back(), error)) << error;
        if (k == 59) {  // the file as a kill would leave it: never closed
            ASSERT_TRUE(QFile::copy(path, cut));
        }
    }
    ASSERT_TRUE(writer.close(error)) << error;

    const auto index = pic::read_camera_video(path.toStdString(), error);
    ASSERT_TRUE(index) << error;
    EXPECT_EQ(index->size, QSize(320, 240));
    EXPECT_EQ(index->frames, stamps);
    EXPECT_EQ(index->tags.name, tags.name);
    EXPECT_EQ(index->tags.geometry, tags.geometry);
    EXPECT_EQ(testsupport::ffprobe_frames(path, "mjpeg"), 75);
    pic::CameraVideoReader reader;
    ASSERT_TRUE(reader.open(path.toStdString(), error)) << error;
    EXPECT_EQ(reader.at(stamps[4] + 1).frame, stamps[4]);  // the last taken at or before
    EXPECT_EQ(reader.at(0).frame, stamps[0]);
    const QImage fourth = reader.picture(4).image;
    ASSERT_FALSE(fourth.isNull());
    const QColor want = picture(4).pixelColor(160, 120), got = fourth.pixelColor(160, 120);
    EXPECT_NEAR(got.red(), want.red(), 12);
    EXPECT_NEAR(got.green(), want.green(), 12);
    EXPECT_NEAR(got.blue(), want.blue(), 12);

    // Cut short: every cluster written before the copy reads, a second at most lost.
    const auto partial = pic::read_camera_video(cut.toStdString(), error);
    ASSERT_TRUE(partial) << error;
    EXPECT_GE(partial->frames.size(), 60u - 25u);
    EXPECT_TRUE(std::equal(partial->frames.begin(), partial->frames.end(), stamps.begin()));
    EXPECT_EQ(partial->tags.geometry, tags.geometry);  // kept in the header
    EXPECT_EQ(testsupport::ffprobe_frames(cut, "mjpeg"), static_cast<int>(partial->frames.size()));
}

} // namespace
