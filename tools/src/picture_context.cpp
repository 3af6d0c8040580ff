#include "picture_context.h"

#include <QGuiApplication>

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

} // namespace sonivar_dat
