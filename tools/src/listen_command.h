#pragma once
// sonivar-dat listen: the sound of one point in front of the array, the
// recording's microphones delayed and summed in time towards it, as a mono
// float WAV at the recording's rate.
#include "map/geometry.h"

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sonivar_dat {

extern const char* const listen_usage;

// An --at value (X,Y,Z in metres, in front of the array) into `at`; the
// reason (French) when it is refused.
std::string take_point(const std::string& value, std::optional<SonivarACQ32::acoustic_map::Position>& at);

// `args` as run_cli has them: "listen", the .dat, then the options.
int cmd_listen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::FILE* terminal);

} // namespace sonivar_dat
