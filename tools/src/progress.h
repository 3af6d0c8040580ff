#pragma once
// A progress line for long work, redrawn in place on a terminal and silent
// otherwise, so that redirected output stays clean.
#include <cstdint>
#include <cstdio>
#include <string>

namespace sonivar_dat {

class Progress {
public:
    // Draws on `terminal` (nullptr: silent).
    Progress(std::FILE* terminal, std::string label, std::uint64_t total);
    ~Progress();
    void update(std::uint64_t done);

private:
    std::FILE* terminal_;
    std::string label_;
    std::uint64_t total_;
    int shown_ = -1;
};

// stderr when it is a terminal, else nullptr.
std::FILE* progress_terminal();

} // namespace sonivar_dat
