#include "map_video.h"

#include "cli.h"
#include "map_png.h"
#include "output_file.h"
#include "progress.h"
#include "spilled_maps.h"

#include "picture/video_file.h"
#include "spectra/band.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;

namespace {

// Frame k's map covers `span_s` from start + k / fps (the frame's own time,
// or one block of the map when that is longer), within the interval.
struct Frames {
    double start_s = 0.0, end_s = 0.0, span_s = 0.0;
    int fps = default_video_fps;
    int count = 0;
    double from(int k) const { return std::min(start_s + k / static_cast<double>(fps), end_s - span_s); }
};

int plan_frames(const VideoRequest& q, const Recording& r, Frames& f, std::ostream& err)
{
    const FrameRange whole = frame_range(r, q.map.from_s, q.map.to_s);
    const double rate = sampling_rate_hz(r.header);
    f = {whole.first / rate, whole.end / rate, std::max(1.0 / q.fps, am::block_frames / rate), q.fps, 0};
    const double count = std::floor((f.end_s - f.start_s) * q.fps + 1e-9);
    if (f.span_s > f.end_s - f.start_s || count < 1.0) {
        err << "sonivar-dat : l'intervalle (" << decimal(f.end_s - f.start_s, 2)
            << " s) est plus court qu'une image de la vidéo ou qu'un bloc de la carte : aucune vidéo\n";
        return exit_damaged;
    }
    if (count > max_video_frames) {
        err << "sonivar-dat : " << decimal(count, 0) << " images (au plus " << max_video_frames
            << ") : raccourcissez l'intervalle ou baissez --fps\n";
        return exit_usage;
    }
    f.count = static_cast<int>(count);
    return exit_ok;
}

// Every frame's map into `spilled`; the common scale's top in `top`.
int map_frames(const VideoRequest& q, const Recording& r, const am::Geometry& geometry, const Frames& f,
               SpilledMaps& spilled, std::optional<double>& top, std::ostream& err, std::FILE* terminal)
{
    MapRequest request = q.map;
    Progress progress(terminal, "Cartes", static_cast<std::uint64_t>(f.count));
    Progress quiet(nullptr, {}, 0);
    for (int k = 0; k < f.count; ++k) {
        request.from_s = f.from(k);
        request.to_s = request.from_s + f.span_s;
        MapResult result = map_recording(r, geometry, request, quiet);
        if (!result.error.empty()) {
            err << "sonivar-dat : " << result.error << "\n";
            return result.bad_request ? exit_usage : exit_damaged;
        }
        top = q.top_db ? q.top_db : std::max(top.value_or(result.map.max_db), double(result.map.max_db));
        if (!spilled.put(std::move(result.map))) {
            err << "sonivar-dat : " << write_failure(q.path) << "\n";
            return exit_damaged;
        }
        progress.update(static_cast<std::uint64_t>(k + 1));
    }
    return exit_ok;
}

// The framed maps encoded under a temporary name, named once whole.
int encode_frames(const VideoRequest& q, const Recording& r, const Frames& f, const SpilledMaps& spilled,
                  std::optional<double> top, std::ostream& out, std::ostream& err, std::FILE* terminal)
{
    OutputFile file;
    SonivarACQ32::picture::VideoFile video;
    std::string e;
    am::Map map;
    Progress progress(terminal, "Vidéo", static_cast<std::uint64_t>(f.count));
    bool whole = file.create(q.path, e);
    for (int k = 0; whole && k < f.count; ++k) {
        const double from = f.from(k);
        const QImage picture = spilled.take(static_cast<std::size_t>(k), map)
                                   ? framed_map(map, q.map.settings, time_window(r, frame_range(r, from, from + f.span_s)),
                                                top, q.size)
                                   : QImage();
        whole = !picture.isNull() && (k > 0 || video.open(file.temp_path(), picture.size(), q.fps, e)) &&
                video.add(picture, e);
        progress.update(static_cast<std::uint64_t>(k + 1));
    }
    if (!whole || !video.close(e) || !file.commit(e)) {
        err << "sonivar-dat : vidéo " << q.path << " : " << (e.empty() ? write_failure(q.path) : e) << "\n";
        return exit_damaged;
    }
    out << "Vidéo : " << q.path << ", " << grouped(static_cast<std::uint64_t>(f.count)) << " images à " << q.fps
        << " images/s (H.264), chacune la carte de " << decimal(f.span_s, 3) << " s ; échelle commune : haut "
        << decimal(top.value_or(0.0), 1) << " " << am::unit_label(map) << ", dynamique " << png_range_db << " dB\n";
    return exit_ok;
}

} // namespace

int map_video(const VideoRequest& q, const Recording& r, const am::Geometry& geometry, std::ostream& out,
              std::ostream& err, std::FILE* terminal)
{
    Frames f;
    if (const int refused = plan_frames(q, r, f, err); refused != exit_ok)
        return refused;
    SpilledMaps spilled;
    const std::string folder = std::filesystem::absolute(q.path).parent_path().string();
    if (!spilled.open(folder)) {
        err << "sonivar-dat : " << write_failure(q.path) << "\n";
        return exit_damaged;
    }
    std::optional<double> top;
    if (const int failed = map_frames(q, r, geometry, f, spilled, top, err, terminal); failed != exit_ok)
        return failed;
    return encode_frames(q, r, f, spilled, top, out, err, terminal);
}

} // namespace sonivar_dat
