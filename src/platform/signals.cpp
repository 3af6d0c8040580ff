#include "platform/signals.h"

#include <csignal>

namespace SonivarACQ32::platform {

void ignore_file_size_signal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace SonivarACQ32::platform
