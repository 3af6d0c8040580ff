#include "progress.h"

#include <unistd.h>

namespace sonivar_dat {

Progress::Progress(std::FILE* terminal, std::string label, std::uint64_t total)
    : terminal_(terminal), label_(std::move(label)), total_(total)
{
}

Progress::~Progress()
{
    if (terminal_ != nullptr && shown_ >= 0)
        std::fprintf(terminal_, "\r\033[K");  // leave the line clear for the report
}

void Progress::update(std::uint64_t done)
{
    if (terminal_ == nullptr)
        return;
    const int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
    if (percent == shown_)
        return;
    shown_ = percent;
    std::fprintf(terminal_, "\r%s : %3d %%", label_.c_str(), percent);
    std::fflush(terminal_);
}

std::FILE* progress_terminal()
{
    return ::isatty(STDERR_FILENO) ? stderr : nullptr;
}

} // namespace sonivar_dat
