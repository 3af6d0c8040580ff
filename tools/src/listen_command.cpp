#include "listen_command.h"

#include "cli.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"
#include "recording_map.h"
#include "sinks.h"
#include "stream_reader.h"

#include "map/focused_recording.h"
#include "map/geometry.h"

#include <cmath>
#include <sstream>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;

const char* const listen_usage =
    "Usage : sonivar-dat listen ENREGISTREMENT.dat --geometry G.xml --at X,Y,Z\n"
    "                           [--from S] [--to S] [--calib ETALONNAGE.xml] --wav SORTIE.wav\n"
    "Son d'un point devant l'antenne : les micros de l'enregistrement retardés\n"
    "(retards fractionnaires) et sommés vers ce point, tel qu'il s'entend au\n"
    "centre de l'antenne. WAV mono en flottants, à la fréquence de l'enregistrement\n"
    "(au hertz le plus proche) : en fraction de la pleine échelle, ou en pascals\n"
    "avec --calib.\n"
    "  --geometry FICHIER  positions des micros (XML MicGeom)\n"
    "  --at X,Y,Z          le point écouté, en mètres (z : distance à l'antenne)\n"
    "  --from S, --to S    intervalle de temps en secondes (défaut : tout)\n"
    "  --calib FICHIER     étalonnage (Pa par unité par micro)\n"
    "  --wav FICHIER       le son écouté\n"
    "Code de sortie : 0, 1 si la lecture échoue, 2 pour des arguments erronés ou\n"
    "des fichiers illisibles.\n";

namespace {

std::optional<am::Position> point_of(const std::string& text)
{
    std::istringstream in(text);
    std::string x, y, z, extra;
    if (!std::getline(in, x, ',') || !std::getline(in, y, ',') || !std::getline(in, z, ',') ||
        std::getline(in, extra))
        return std::nullopt;
    const auto vx = number(x), vy = number(y), vz = number(z);
    const auto within = [](double v) { return std::abs(v) <= am::farthest_plane_m; };
    if (!vx || !vy || !vz || *vz < am::nearest_plane_m || !within(*vx) || !within(*vy) || !within(*vz))
        return std::nullopt;
    return am::Position{*vx, *vy, *vz};
}

} // namespace

std::string take_point(const std::string& value, std::optional<am::Position>& at)
{
    at = point_of(value);
    if (!at)
        return "valeur invalide pour --at : " + value + " (X,Y,Z en mètres, Z de " + decimal(am::nearest_plane_m, 2) +
               " à " + decimal(am::farthest_plane_m, 0) + " m, X et Y à " + decimal(am::farthest_plane_m, 0) +
               " m au plus)";
    return {};
}

namespace {

struct ListenArgs {
    std::optional<am::Position> at;
    double from_s = 0.0, to_s = -1.0;
    std::string geometry, calib, wav;
    std::string error;
};

std::string take(ListenArgs& a, const std::string& name, const std::string& value)
{
    if (name == "--at") {
        return take_point(value, a.at);
    } else if (name == "--from" || name == "--to") {
        const auto v = number(value);
        if (!v || *v < 0.0)
            return "valeur invalide pour " + name + " : " + value;
        (name == "--from" ? a.from_s : a.to_s) = *v;
    } else if (name == "--geometry" || name == "--calib" || name == "--wav") {
        (name == "--geometry" ? a.geometry : name == "--calib" ? a.calib : a.wav) = value;
    } else {
        return "option inconnue : " + name;
    }
    return {};
}

ListenArgs parse_listen(const std::vector<std::string>& args)
{
    ListenArgs a;
    a.error = parse_options(
        args, [](const std::string&) { return false; },
        [&a](const std::string& name, const std::optional<std::string>& value) { return take(a, name, *value); });
    if (a.error.empty() && a.geometry.empty())
        a.error = "--geometry attendu";
    else if (a.error.empty() && !a.at)
        a.error = "--at attendu";
    else if (a.error.empty() && a.wav.empty())
        a.error = "--wav attendu";
    else if (a.error.empty() && a.to_s >= 0.0 && a.to_s <= a.from_s)
        a.error = "--to doit suivre --from";
    return a;
}

// The focused samples into the WAV, under its temporary name until whole.
int write_focused(const ListenArgs& a, const Recording& r, const am::Geometry& geometry,
                  const Calibration& factors, std::ostream& out, std::ostream& err, std::FILE* terminal)
{
    const FrameRange range = frame_range(r, a.from_s, a.to_s);
    OutputFile file;
    WavSink wav;
    std::string e;
    const int rate = static_cast<int>(std::lround(sampling_rate_hz(r.header)));
    if (!file.create(a.wav, e) || !wav.open(file.temp_path(), 1, rate, true, false, e)) {
        err << "sonivar-dat : WAV " << a.wav << " : " << e << "\n";
        return exit_damaged;
    }
    std::uint64_t written = 0;
    std::string write_error;  // the file's, kept apart from the reading's
    {
        Progress progress(terminal, "Écoute", range.frames());
        e = am::focus_recording(r, geometry, *a.at, factors, range, [&](const float* samples, std::size_t n) {
            written += n;
            progress.update(written);
            return wav.write(samples, n, write_error);
        });
    }
    if (e.empty())
        e = write_error;
    if (!e.empty() || !wav.close(e) || !file.commit(e)) {
        err << "sonivar-dat : WAV " << a.wav << " : " << e << "\n";
        return exit_damaged;
    }
    out << "Écoute : x = " << decimal(a.at->x, 2) << " m, y = " << decimal(a.at->y, 2) << " m, z = "
        << decimal(a.at->z, 2) << " m, " << grouped(written) << " échantillons à " << grouped(rate) << " Hz\n";
    out << "WAV : " << a.wav << "\n";
    return exit_ok;
}

} // namespace

int cmd_listen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::FILE* terminal)
{
    const ListenArgs a = parse_listen(args);
    if (!a.error.empty()) {
        err << "sonivar-dat : " << a.error << "\n\n" << listen_usage;
        return exit_usage;
    }
    const std::optional<MapInputs> in = read_map_inputs(args[1], a.geometry, a.calib, {a.wav}, err);
    if (!in)
        return exit_usage;
    const Calibration factors = sample_factors(in->calibration, in->recording.header.type_float != 0);
    return write_focused(a, in->recording, in->geometry, factors, out, err, terminal);
}

} // namespace sonivar_dat
