#include "map/focused_recording.h"

#include "stream/dat_reader.h"
#include "stream/header_facts.h"

#include <algorithm>

namespace SonivarACQ32::acoustic_map {

std::string focus_recording(const stream::Recording& r, const Geometry& geometry, const Position& point,
                            const stream::Calibration& factors, stream::FrameRange range,
                            const FocusedSamples& take)
{
    const std::vector<Position> placed = placed_microphones(geometry, r.layout.micros);
    if (placed.size() != r.layout.micros.size() || placed.empty())
        return "géométrie sans position pour un micro de l'enregistrement";
    Focuser focuser(placed, point, stream::sampling_rate_hz(r.header));
    const std::uint64_t wanted = range.frames();
    const std::uint64_t end = std::min(stream::whole_frames(r), range.end + focuser.lookahead());
    const std::size_t frame_bytes = r.layout.frame_bytes();
    stream::DatReader reader;
    std::string error;
    if (!reader.open(r.dat_path, r.dat_bytes, error, range.first * frame_bytes))
        return error;
    const std::size_t chunk_frames = std::max<std::size_t>(1, stream::read_block_bytes / frame_bytes);
    std::vector<unsigned char> bytes(chunk_frames * frame_bytes);
    std::vector<float> frames, focused;
    std::uint64_t given = 0;
    for (std::uint64_t at = range.first; at < end && given < wanted;) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk_frames, end - at));
        if (reader.read(bytes.data(), count * frame_bytes) != static_cast<long long>(count * frame_bytes))
            return "erreur de lecture du fichier de données";
        const std::size_t decoded =
            stream::decode_frames(bytes.data(), count * frame_bytes, at * frame_bytes, r.layout, factors, frames);
        focused.clear();
        focuser.add(frames.data(), decoded, focused);
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(focused.size(), wanted - given));
        if (n > 0 && !take(focused.data(), n))
            return {};
        given += n;
        at += count;
    }
    return {};
}

} // namespace SonivarACQ32::acoustic_map
