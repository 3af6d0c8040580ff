#pragma once
// The sonivar-dat command line: info, check and export of a recording.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace sonivar_dat {

// Exit statuses.
constexpr int exit_ok = 0;
constexpr int exit_damaged = 1;      // check: damaged recording; export: failed
constexpr int exit_usage = 2;        // bad arguments, missing or malformed companions
constexpr int exit_unverified = 3;   // check: no counter channel to verify

// Runs one command (`args` without the program name). Reports go to `out`,
// errors to `err`, the progress line to `terminal` (nullptr: none).
int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            std::FILE* terminal);

// Numbers as the French messages show them: "1 234 567", "1,5".
std::string grouped(std::uint64_t value);
std::string decimal(double value, int decimals);
// Numbers of the CSV tables: '.' decimals, whatever the locale.
std::string plain(double value, int decimals);
// A picture's size "WxH" (--size), each side from 200 to 4000 pixels.
constexpr int min_picture_side = 200, max_picture_side = 4000;
bool picture_size(const std::string& text, int& width, int& height);

// A level in a CSV table: "-inf" for silence (no sound has no level in dB,
// and every reader of numbers takes it), else as plain().
std::string plain_level(double level, bool silence);
// "x = 1,00 m, y = 0,75 m, -103,5 dBFS" of a map's maximum, or "silence".
std::string maximum_text(double x, double y, double level, const std::string& unit, bool silence);

} // namespace sonivar_dat
