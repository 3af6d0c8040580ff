#include "stream/recording_slice.h"

#include "stream/dat_reader.h"
#include "stream/header_facts.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace SonivarACQ32::stream {

std::uint64_t whole_frames(const Recording& r)
{
    const std::size_t frame = r.layout.frame_bytes();
    return frame == 0 ? 0 : r.dat_bytes / frame;
}

double duration_s(const Recording& r)
{
    const double rate = sampling_rate_hz(r.header);
    return rate > 0.0 ? static_cast<double>(whole_frames(r)) / rate : 0.0;
}

FrameRange frame_range(const Recording& r, double from_s, double to_s)
{
    const double total = static_cast<double>(whole_frames(r));
    const double rate = sampling_rate_hz(r.header);
    const auto at = [&](double s) {
        return static_cast<std::uint64_t>(std::clamp(std::floor(s * rate), 0.0, total));
    };
    return {at(from_s), to_s < 0.0 ? whole_frames(r) : at(to_s)};
}

FileSlice file_slice(const Recording& r, FrameRange range)
{
    const std::uint64_t frame = r.layout.frame_bytes();
    return {r.dat_path, r.dat_bytes, range.first * frame, range.frames() * frame};
}

bool read_slice(const FileSlice& slice, std::vector<unsigned char>& out, std::string& error)
{
    DatReader reader;
    if (!reader.open(slice.path, slice.limit, error, slice.offset))
        return false;
    out.resize(static_cast<std::size_t>(slice.length));
    const long long got = reader.read(out.data(), out.size());
    if (got != static_cast<long long>(out.size())) {
        error = got < 0 ? "erreur de lecture du fichier de données : " + system_reason(errno)
                        : "fichier de données plus court que l'enregistrement lu";
        out.clear();
        return false;
    }
    return true;
}

} // namespace SonivarACQ32::stream
