// sonivar-rec: a run of the acquisition program from the command line.
#include "headless_run.h"
#include "rec_options.h"
#include "rec_terminal.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Only the run's own lines: Qt's notes about the environment (a runtime
// folder not set, fonts) say nothing about it. A fatal message still ends
// the program.
void quiet_qt(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "sonivar-rec : %s\n", message.toUtf8().constData());
        std::abort();
    }
}

} // namespace

int main(int argc, char* argv[])
{
    sonivar_rec::block_stop_signals();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const sonivar_rec::Parsed parsed = sonivar_rec::parse_rec_options(args);
    if (parsed.options && parsed.options->help) {
        std::fputs(sonivar_rec::help_text().c_str(), stdout);
        return sonivar_rec::exit_complete;
    }
    std::string refusal = parsed.options ? sonivar_rec::output_refusal(*parsed.options) : parsed.reason;
    if (!refusal.empty()) {
        std::fprintf(stderr, "sonivar-rec : %s\n", refusal.c_str());
        return sonivar_rec::exit_usage;
    }
    // No window is ever shown: no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet_qt);
    QApplication app(argc, argv);
    return sonivar_rec::headless_run(*parsed.options);
}
