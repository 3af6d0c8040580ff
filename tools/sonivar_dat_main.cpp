// sonivar-dat: inspect, verify and export the recordings of the acquisition
// program from the command line.
#include "cli.h"
#include "progress.h"

#include <QString>
#include <QtGlobal>

#include <cstdlib>
#include <iostream>

namespace {

// A command-line tool prints only its own lines: Qt's notes about the
// environment (a runtime folder not set, fonts) say nothing about the
// recording. A fatal message still ends the program.
void quiet_qt(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::cerr << "sonivar-dat : " << message.toStdString() << "\n";
        std::abort();
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    qInstallMessageHandler(quiet_qt);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return sonivar_dat::run_cli(args, std::cout, std::cerr, sonivar_dat::progress_terminal());
}
