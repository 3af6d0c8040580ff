#pragma once
// sonivar-dat spectrogram: the spectrogram of a recording over a time
// range (the mean of its microphones, one microphone, or the sound of one
// point), as a framed picture and a CSV table.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace sonivar_dat {

extern const char* const spectrogram_usage;

// `args` as run_cli has them: "spectrogram", the .dat, then the options.
int cmd_spectrogram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::FILE* terminal);

} // namespace sonivar_dat
