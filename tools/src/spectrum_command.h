#pragma once
// sonivar-dat spectrum: the power spectrum of a recording over a time
// range, one microphone's or the mean over its microphones, narrow bands
// or third-octaves, optionally A-weighted; its peak, a CSV table and a PNG.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace sonivar_dat {

extern const char* const spectrum_usage;

// `args` as run_cli has them: "spectrum", the .dat, then the options.
int cmd_spectrum(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 std::FILE* terminal);

} // namespace sonivar_dat
