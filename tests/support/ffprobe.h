#pragma once
// ffprobe, the real reader of video files, counting a video's frames.
#include <QProcess>
#include <QString>

namespace testsupport {

// The frames ffprobe decodes from the first video stream of `path`; -1 when
// the stream is not of `codec` ("mjpeg", "h264") or cannot be read.
inline int ffprobe_frames(const QString& path, const char* codec)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                                            QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                                            QStringLiteral("-show_entries"), QStringLiteral("stream=codec_name,nb_read_frames"),
                                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(60000);
    const QString out = QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
    return out.startsWith(QString::fromLatin1(codec) + QLatin1Char(',')) ? out.section(',', 1).toInt() : -1;
}

} // namespace testsupport
