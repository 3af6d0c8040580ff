#include "platform/ansi.h"

#include <array>

namespace SonivarACQ32::platform {
namespace {

// Code points of bytes 0x80 to 0x9F in Windows-1252. The five bytes the code
// page leaves undefined map to the C1 control of the same value, as Windows
// itself converts them.
constexpr std::array<char32_t, 32> high_block = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encode(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < high_block.size(); ++i)
        if (high_block[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

char32_t from_windows1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return high_block[byte - 0x80];
    return char32_t{byte};
}

std::string to_windows1252(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        out.push_back(encode(c));
    return out;
}

} // namespace SonivarACQ32::platform
