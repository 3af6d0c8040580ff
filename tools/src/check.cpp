#include "check.h"

#include "stream_reader.h"
#include "progress.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace sonivar_dat {
namespace {

// Feeds the whole file to the scanner. Words the scanner leaves unconsumed
// (waiting for lookahead) move to the head of the buffer before the next read.
void scan_counter(DatReader& reader, CounterScanner& scanner, CheckReport& report,
                  Progress& progress)
{
    // A small file gets a buffer of its own size.
    const std::size_t block_words = std::min<std::uint64_t>(read_block_bytes, report.file_bytes) / 4 + 1;
    std::vector<std::uint32_t> buffer(block_words + scanner.lookahead_words());
    std::size_t kept = 0;  // words carried over
    std::uint64_t done = 0;
    for (;;) {
        const std::size_t room = (buffer.size() - kept) * 4;
        const long long got = reader.read(buffer.data() + kept, room);
        if (got < 0) {
            report.read_error = "erreur de lecture du fichier de données (" +
                                system_reason(errno) + ")";
            return;
        }
        done += static_cast<std::uint64_t>(got);
        const bool last = static_cast<std::size_t>(got) < room;
        const std::size_t n = kept + static_cast<std::size_t>(got) / 4;
        const std::size_t used = scanner.feed(buffer.data(), n, last);
        progress.update(done);
        if (last)
            return;
        kept = n - used;
        std::memmove(buffer.data(), buffer.data() + used, kept * 4);
    }
}

} // namespace

CheckReport check_recording(const Recording& recording, Progress& progress)
{
    CheckReport report;
    const FrameLayout& layout = recording.layout;
    report.file_bytes = recording.dat_bytes;
    report.frames = report.file_bytes / layout.frame_bytes();
    report.tail_bytes = report.file_bytes % layout.frame_bytes();
    report.header_frames = recording.header.nb_ech;
    report.counter = layout.counter;
    report.interrupted = is_interrupted(recording);
    if (!layout.counter)
        return report;

    DatReader reader;
    if (!reader.open(recording.dat_path, recording.dat_bytes, report.read_error))
        return report;
    CounterScanner scanner(layout.nb_voies);
    scan_counter(reader, scanner, report, progress);
    report.gaps = scanner.gaps();
    report.gap_count = scanner.gap_count();
    report.frames_lost = scanner.frames_lost();
    return report;
}

} // namespace sonivar_dat
