#pragma once
// Options of a command line: "--name value" or "--name=value".
#include <charconv>
#include <cmath>
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

// The options after the .dat (args[2] on): `is_switch(name)` tells the
// ones that take no value, given to `take(name, std::nullopt)`; the others
// go to `take(name, value)`. `take` returns the error (French), empty when
// the option is right. Returns the first error.
template <typename IsSwitch, typename Take>
std::string parse_options(const std::vector<std::string>& args, IsSwitch is_switch, Take take)
{
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (is_switch(args[i])) {
            if (std::string error = take(args[i], std::optional<std::string>{}); !error.empty())
                return error;
            continue;
        }
        const auto [name, value] = next_option(args, i);
        if (!value || value->empty())
            return "valeur manquante après " + name;
        if (std::string error = take(name, value); !error.empty())
            return error;
    }
    return {};
}

// A finite number, "0,5" as well as "0.5".
inline std::optional<double> number(std::string text)
{
    for (char& c : text)
        if (c == ',')
            c = '.';
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace sonivar_dat
