#pragma once
// Reader of a recording's description file (".log"): INI-like lines
// "key = value ; remark" in sections, then the operator's comment under
// [OPTIONNAL], which is free text and never parsed.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace SonivarACQ32::stream {

struct Description {
    // Keys of the sections before [OPTIONNAL], first occurrence kept.
    std::map<std::string, std::string> values;
    // The comment: everything after the [OPTIONNAL] line, without its last line end.
    std::string commentaire;

    // The value of `key` as a whole number; nullopt when absent or not a number.
    std::optional<long long> integer(const std::string& key) const;
};

Description parse_description(std::string_view text);

} // namespace SonivarACQ32::stream
