#pragma once
// Options of a command line: "--name value" or "--name=value".
#include <optional>
#include <string>
#include <vector>

namespace sonivar_dat {

struct Option {
    std::string name;
    std::optional<std::string> value;  // nullopt: none given
};

// The option at args[i]; i moves past a value given as the next argument
// (one that does not itself start with "--").
inline Option next_option(const std::vector<std::string>& args, std::size_t& i)
{
    Option o{args[i], std::nullopt};
    if (const auto eq = o.name.find('='); o.name.starts_with("--") && eq != std::string::npos) {
        o.value = o.name.substr(eq + 1);
        o.name.resize(eq);
    } else if (i + 1 < args.size() && !args[i + 1].starts_with("--")) {
        o.value = args[++i];
    }
    return o;
}

} // namespace sonivar_dat
