#include "stream/french_text.h"

#include <algorithm>
#include <cstdio>

namespace SonivarACQ32::stream {

std::string french_decimal(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (const auto point = s.find('.'); point != std::string::npos)
        s[point] = ',';
    return s;
}

std::string dot_decimal(double value, int decimals)
{
    std::string s = french_decimal(value, decimals);
    std::replace(s.begin(), s.end(), ',', '.');
    return s;
}

std::string french_grouped(double value, int decimals)
{
    std::string s = french_decimal(value, decimals);
    const std::size_t comma = s.find(',');
    const std::size_t digits_end = comma != std::string::npos ? comma : s.size();
    const std::size_t digits_begin = s[0] == '-' ? 1 : 0;
    for (std::size_t at = digits_end; at > digits_begin + 3; at -= 3)
        s.insert(at - 3, 1, ' ');
    return s;
}

} // namespace SonivarACQ32::stream
