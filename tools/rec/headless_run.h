#pragma once
// A run of the acquisition window without a display: the window is built
// hidden and driven as the operator drives it (Init, the settings, Start),
// so that the run is the window's own, to the byte. Its information pane is
// echoed on the standard output as it grows, a progress line goes to a
// terminal, and Ctrl+C or SIGTERM press Stop (a second Ctrl+C abandons a
// trigger wait, as Abort does).
#include "rec_options.h"

namespace sonivar_rec {

// Refusals that need the file system (exit 2 before the unit is touched):
// the folder must exist and take files, and a recording of that name is
// replaced only with --replace. Empty when all is well.
std::string output_refusal(const RecOptions& options);

// Runs the whole thing; returns the exit status. Needs a QApplication.
int headless_run(const RecOptions& options);

} // namespace sonivar_rec
