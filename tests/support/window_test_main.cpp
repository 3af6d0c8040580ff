// Entry of the whole-window tests: refuses to run outside the umockdev
// preload (the simulated unit would be invisible to libusb), then runs the
// tests with an offscreen QApplication.
#include <gtest/gtest.h>

#include "platform/multimedia.h"

#include <QApplication>
#include <QFont>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool listing_only(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return true;
    return false;
}

bool under_umockdev_preload()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "umockdev") != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    // Look for the listing flag before GoogleTest takes its flags out of argv.
    const bool listing = listing_only(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    if (!listing && !under_umockdev_preload()) {
        std::fprintf(stderr,
                     "window_tests need the umockdev preload: run them through ctest, or as\n"
                     "  LD_PRELOAD=libumockdev-preload.so.0 %s\n",
                     argv[0]);
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    SonivarACQ32::platform::prepare_multimedia();
    QApplication app(argc, argv);
    QFont::insertSubstitution(QStringLiteral("Century Gothic"), QStringLiteral("URW Gothic"));
    return RUN_ALL_TESTS();
}
