#include "picture_context.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <cerrno>
#include <cstdio>

namespace sonivar_dat {

void ensure_picture_context()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    // Never a display: the pictures go to files.
    static int argc = 3;
    static char name[] = "sonivar-dat", platform[] = "-platform", offscreen[] = "offscreen";
    static char* argv[] = {name, platform, offscreen, nullptr};
    static QGuiApplication application(argc, argv);
}

bool write_png(const QImage& picture, const std::string& path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        errno = EINVAL;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), file) ==
                             static_cast<std::size_t>(bytes.size()) &&
                         std::fflush(file) == 0;
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written)
        errno = error;
    return written && closed;
}

} // namespace sonivar_dat
