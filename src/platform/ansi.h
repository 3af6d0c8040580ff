#pragma once
// The comment of the header record is stored in the ANSI code page of French
// and Western European Windows systems, Windows-1252, so that a header file
// reads the same there. Characters it lacks become '?'.
#include <string>
#include <string_view>

namespace SonivarACQ32::platform {

std::string to_windows1252(std::u32string_view text);

// The character a Windows-1252 byte stands for (the inverse of the above).
char32_t from_windows1252(unsigned char byte);

} // namespace SonivarACQ32::platform
