#include "map_sequence.h"

#include "cli.h"
#include "map_png.h"
#include "output_file.h"
#include "progress.h"
#include "map/spilled_maps.h"

#include "spectra/band.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;
using am::SpilledMaps;

namespace {

struct Slices {
    double start_s = 0.0, end_s = 0.0;
    std::vector<std::string> paths;  // one picture per slice
};

std::string slice_name(std::size_t k)
{
    char name[32];
    std::snprintf(name, sizeof name, "carte_%04zu.png", k + 1);
    return name;
}

// The slices of the interval, decided before any frame is read: an --every
// beyond the interval, too many slices, a folder that cannot take the
// pictures (exit 2), slices each too short for one block of the map (no map
// can be made: exit 1) are refused at once.
int plan_slices(const SequenceRequest& q, const Recording& r, Slices& s, std::ostream& err)
{
    const FrameRange whole = frame_range(r, q.map.from_s, q.map.to_s);
    const double rate = sampling_rate_hz(r.header);
    s.start_s = whole.first / rate;
    s.end_s = whole.end / rate;
    if (!(q.every_s <= s.end_s - s.start_s)) {
        err << "sonivar-dat : --every dépasse la durée de l'intervalle (" << decimal(s.end_s - s.start_s, 2) << " s)\n";
        return exit_usage;
    }
    const double slices = std::ceil((s.end_s - s.start_s) / q.every_s - 1e-9);
    if (slices < 1.0 || slices > max_slices) {
        err << "sonivar-dat : --every " << decimal(q.every_s, 2) << " donne " << decimal(slices, 0)
            << " tranches (de 1 à " << max_slices << ")\n";
        return exit_usage;
    }
    std::error_code ec;
    std::filesystem::create_directory(q.png_dir, ec);
    if (ec || !std::filesystem::is_directory(q.png_dir)) {
        err << "sonivar-dat : dossier " << q.png_dir << " : "
            << (ec ? system_reason(ec.value()) : std::string("ce n'est pas un dossier")) << "\n";
        return exit_usage;
    }
    for (std::size_t k = 0; k < static_cast<std::size_t>(slices); ++k)
        s.paths.push_back((std::filesystem::path(q.png_dir) / slice_name(k)).string());
    if (const std::string why = outputs_refusal(r, s.paths); !why.empty()) {
        err << "sonivar-dat : " << why << "\n";
        return exit_usage;
    }
    if (const double frames = std::floor(q.every_s * rate); frames < am::block_frames) {
        err << "sonivar-dat : --every " << decimal(q.every_s, 2) << " s : des tranches de "
            << grouped(static_cast<std::uint64_t>(frames)) << " trames, moins que les " << grouped(am::block_frames)
            << " d'un bloc de la carte : aucune carte\n";
        return exit_damaged;
    }
    return exit_ok;
}

// Every slice's map into `spilled`; the common scale's top in `top`.
int map_slices(const SequenceRequest& q, const Recording& r, const am::Geometry& geometry, const Slices& s,
               SpilledMaps& spilled, std::optional<double>& top, std::ostream& out, std::ostream& err,
               std::FILE* terminal)
{
    MapRequest request = q.map;
    std::uint64_t non_finite = 0;
    Progress progress(terminal, "Cartes", frame_range(r, q.map.from_s, q.map.to_s).end);
    for (std::size_t k = 0; k < s.paths.size(); ++k) {
        request.from_s = s.start_s + static_cast<double>(k) * q.every_s;
        request.to_s = std::min(s.end_s, request.from_s + q.every_s);
        MapResult result = map_recording(r, geometry, request, progress);
        if (result.bad_request || (!result.error.empty() && result.frames >= am::block_frames)) {
            err << "sonivar-dat : " << result.error << "\n";
            return result.bad_request ? exit_usage : exit_damaged;
        }
        non_finite += result.non_finite;
        if (!result.error.empty()) {
            spilled.skip();
            continue;
        }
        top = q.top_db ? q.top_db : std::max(top.value_or(result.map.max_db), double(result.map.max_db));
        if (!spilled.put(std::move(result.map))) {
            err << "sonivar-dat : écriture impossible des cartes en attente dans " << q.png_dir << " : "
                << system_reason(errno) << "\n";
            return exit_damaged;
        }
    }
    say_left_out(out, non_finite);
    return exit_ok;
}

// The pictures, each written whole under its name; when one cannot be,
// those this command wrote before it are taken away.
int write_slices(const SequenceRequest& q, const Recording& r, const Slices& s, const SpilledMaps& spilled,
                 std::optional<double> top, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> written;
    am::Map map;
    for (std::size_t k = 0; k < s.paths.size(); ++k) {
        const double from = s.start_s + static_cast<double>(k) * q.every_s, to = std::min(s.end_s, from + q.every_s);
        out << "Tranche " << k + 1 << " : " << decimal(from, 2) << " s – " << decimal(to, 2) << " s";
        if (!spilled.mapped(k)) {
            out << ", trop courte : pas de carte\n";
            continue;
        }
        OutputFile file;
        std::string e;
        const QString window = time_window(r, frame_range(r, from, to));
        if (!spilled.take(k, map) || !file.create(s.paths[k], e) ||
            !write_map_png(file.temp_path(), map, q.map.settings, window, top, q.size) || !file.commit(e)) {
            for (const std::string& path : written)
                std::filesystem::remove(path);
            err << "\nsonivar-dat : " << (e.empty() ? write_failure(s.paths[k]) : e) << " ; les "
                << written.size() << " images déjà écrites sont retirées\n";
            return exit_damaged;
        }
        written.push_back(s.paths[k]);
        out << ", maximum "
            << maximum_text(map.max_x, map.max_y, map.max_db, am::unit_label(map), is_silence(map.max_db, map.unit))
            << " : " << s.paths[k] << "\n";
    }
    out << "Échelle commune : haut " << decimal(top.value_or(0.0), 1) << ", dynamique " << png_range_db << " dB\n";
    return exit_ok;
}

} // namespace

int map_sequence(const SequenceRequest& q, const Recording& r, const am::Geometry& geometry, std::ostream& out,
                 std::ostream& err, std::FILE* terminal)
{
    Slices slices;
    if (const int status = plan_slices(q, r, slices, err); status != exit_ok)
        return status;
    SpilledMaps spilled;
    if (!spilled.open(q.png_dir)) {
        err << "sonivar-dat : dossier " << q.png_dir << " : " << system_reason(errno) << "\n";
        return exit_damaged;
    }
    std::optional<double> top;
    if (const int status = map_slices(q, r, geometry, slices, spilled, top, out, err, terminal); status != exit_ok)
        return status;
    if (!top) {
        err << "sonivar-dat : aucune tranche ne donne de carte\n";
        return exit_damaged;
    }
    return write_slices(q, r, slices, spilled, top, out, err);
}

} // namespace sonivar_dat
