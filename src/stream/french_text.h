#pragma once
// Numbers as the toolkit and the map write them for the operator, whatever
// the locale: a decimal comma, and thousands apart where asked.
#include <string>

namespace SonivarACQ32::stream {

std::string french_decimal(double value, int decimals);           // "1234,50"
// For files read by programs: '.' whatever the system's locale.
std::string dot_decimal(double value, int decimals);              // "1234.50"
std::string french_grouped(double value, int decimals);           // "1 234,50"

} // namespace SonivarACQ32::stream
