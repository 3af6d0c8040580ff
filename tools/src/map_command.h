#pragma once
// sonivar-dat map: the acoustic map of a recording, averaged over a time
// range, with its maximum; optionally as a CSV table and a PNG picture.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace sonivar_dat {

const char* map_usage();

// `args` as run_cli has them: "map", the .dat, then the options.
int cmd_map(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            std::FILE* terminal);

} // namespace sonivar_dat
