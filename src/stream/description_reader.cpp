#include "stream/description_reader.h"

#include <charconv>

namespace SonivarACQ32::stream {
namespace {

std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The next line of `text` from `pos` (without its LF), moving `pos` past it.
std::string_view next_line(std::string_view text, std::size_t& pos)
{
    const std::size_t end = text.find('\n', pos);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    std::string_view line = text.substr(pos, stop - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    return line;
}

} // namespace

std::optional<long long> Description::integer(const std::string& key) const
{
    const auto it = values.find(key);
    if (it == values.end())
        return std::nullopt;
    const std::string& v = it->second;
    long long out = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    if (ec != std::errc() || end != v.data() + v.size() || v.empty())
        return std::nullopt;
    return out;
}

Description parse_description(std::string_view text)
{
    Description d;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::string_view line = trim(next_line(text, pos));
        if (line == "[OPTIONNAL]") {
            std::string_view rest = text.substr(pos);
            if (rest.ends_with("\r\n"))
                rest.remove_suffix(2);
            else if (rest.ends_with('\n'))
                rest.remove_suffix(1);
            d.commentaire = std::string(rest);
            break;
        }
        const std::size_t eq = line.find('=');
        if (line.empty() || line.front() == '[' || eq == std::string_view::npos)
            continue;
        std::string_view value = line.substr(eq + 1);
        value = trim(value.substr(0, value.find(';')));
        d.values.emplace(std::string(trim(line.substr(0, eq))), std::string(value));
    }
    return d;
}

} // namespace SonivarACQ32::stream
