#include "map_command.h"

#include "cli.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"
#include "map_png.h"
#include "map_sequence.h"
#include "map_video.h"
#include "map_zones.h"
#include "recording_map.h"

#include "picture/map_picture.h"
#include "picture/video_file.h"
#include "picture_context.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;

namespace {

const char* const usage_head =
    "Usage : sonivar-dat map ENREGISTREMENT.dat --geometry G.xml\n"
    "                        (--freq HZ [--band third|bin] | --fmin HZ --fmax HZ)\n"
    "                        [--a-weighting] [--z M] [--extent M] [--step M]\n"
    "                        [--from S] [--to S] [--png SORTIE.png] [--csv SORTIE.csv]\n"
    "                        [--every S --png-dir DOSSIER] [--top DB] [--size LxH]\n"
    "                        [--calib ETALONNAGE.xml] [--zone NOM:x0,y0,x1,y1 | NOM:@x,y,r]...\n"
    "                        [--zone-csv SORTIE.csv] [--zone-spectrum SORTIE.csv]\n"
    "                        [--video SORTIE.mp4 [--fps N] [--camera C,X,Y,M,R]\n"
    "                         [--no-camera] [--photo IMAGE [--photo-size LxH]]]\n";

const char* const usage_options =
    "Carte acoustique de l'enregistrement, moyennée sur l'intervalle de temps,\n"
    "sur un plan parallèle à l'antenne à la distance z.\n"
    "  --geometry FICHIER  positions des micros (XML MicGeom, ordre des index globaux)\n"
    "  --freq HZ           fréquence centrale\n"
    "  --band third|bin    tiers d'octave (défaut) ou raie unique la plus proche\n"
    "  --fmin HZ, --fmax HZ  large bande : la somme des cartes de chaque raie de\n"
    "                      fmin à fmax (au lieu de --freq)\n"
    "  --a-weighting       chaque raie pondérée A : niveaux en dB(A)\n"
    "  --z M               distance du plan (défaut 1 m)\n"
    "  --extent M          demi-largeur de la grille (défaut 1 m)\n"
    "  --step M            pas de la grille (défaut 0,05 m)\n"
    "  --from S, --to S    intervalle de temps en secondes (défaut : tout)\n"
    "  --png FICHIER       image de la carte (dynamique 30 dB), avec ses axes en\n"
    "                      mètres, son échelle et son unité, la méthode, la bande,\n"
    "                      l'intervalle de temps et le maximum\n"
    "  --every S           une carte par tranche de S secondes de l'intervalle,\n"
    "  --png-dir DOSSIER   chacune en image DOSSIER/carte_0001.png... sur une\n"
    "                      échelle commune (--top, ou le maximum de toutes)\n"
    "  --top DB            haut de l'échelle des images (défaut : le maximum)\n"
    "  --size LxH          taille maximale des images en pixels (défaut : celle de\n"
    "                      la fenêtre de la carte, environ 600 x 560)\n"
    "  --csv FICHIER       table x,y,level_db\n"
    "  --calib FICHIER     étalonnage (XML, un facteur en Pa par unité par micro) :\n"
    "                      niveaux en dB SPL ; sans lui, en dBFS\n"
    "  --zone NOM:x0,y0,x1,y1  une zone rectangulaire (coins opposés, en mètres),\n"
    "  --zone NOM:@x,y,r   ou circulaire (centre et rayon) : le niveau de ses sources\n"
    "                      et son rang (l'option se répète)\n"
    "  --zone-csv FICHIER  table zone,level_db des zones, de la plus forte à la\n"
    "                      plus faible\n"
    "  --zone-spectrum FICHIER  table zone,frequency_hz,level_db : le niveau de\n"
    "                      chaque zone par tiers d'octave, de 100 Hz à la dernière\n"
    "                      bande entière sous Nyquist\n";

const char* const usage_tail =
    "Code de sortie : 0, 1 si la carte ne peut être calculée, 2 pour des arguments\n"
    "erronés ou des fichiers illisibles.\n";

// The methods' keys that `take` accepts, joined by `separator`, the last
// two by `last` ("das, functional ou capon").
template <typename Take>
std::string method_keys(const char* separator, Take take, const char* last = nullptr)
{
    std::vector<std::string> keys;
    for (const am::MethodDescription& d : am::method_table())
        if (take(d))
            keys.emplace_back(d.key);
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i)
        text += (i == 0 ? "" : last != nullptr && i + 1 == keys.size() ? last : separator) + keys[i];
    return text;
}

constexpr std::size_t usage_indent = 22, usage_width = 79;

// One option's help: its name, then the text, a long one carried onto
// the next line at its last comma.
std::string option_line(const std::string& option, const std::string& text)
{
    std::string line = "  " + option;
    line.resize(std::max(line.size() + 1, usage_indent), ' ');
    if (line.size() + text.size() <= usage_width)
        return line + text + "\n";
    const std::size_t cut = text.rfind(", ");
    return line + text.substr(0, cut + 1) + "\n" + std::string(usage_indent, ' ') + text.substr(cut + 2) + "\n";
}

// The methods' lines of the usage, from the methods' table.
std::string method_usage()
{
    std::string options, help;
    for (const am::MethodDescription& d : am::method_table())
        for (const am::ParameterRange& p : d.parameters) {
            options += std::string(options.empty() ? "" : " ") + "[" + p.option + " " + p.value + "]";
            help += option_line(std::string(p.option) + " " + p.value,
                                std::string(p.help) + ", " + decimal(p.low, p.decimals) + " à " +
                                    decimal(p.high, p.decimals) + " (défaut " +
                                    decimal(p.get(am::MethodParameters{}), p.decimals) + ")");
        }
    std::string names;
    for (const am::MethodDescription& d : am::method_table())
        names += (names.empty() ? option_line("--method M", "") : std::string(usage_indent, ' ')) + d.key + " : " +
                 d.name + (names.empty() ? " (défaut)" : "") + "\n";
    names.erase(names.find('\n'), 1);  // the first method on the option's line
    return "                        [--method " + method_keys("|", [](const auto&) { return true; }) +
           "] [--remove-diagonal]\n" + "                        " + options + "\n" + usage_options + video_usage + names +
           option_line("--remove-diagonal", "sans la diagonale de la matrice interspectrale (" +
                                                method_keys(", ", [](const am::MethodDescription& d) {
                                                    return d.removes_diagonal;
                                                }) + ")") +
           help;
}

} // namespace

const char* map_usage()
{
    static const std::string usage = usage_head + method_usage() + usage_tail;
    return usage.c_str();
}

namespace {

// No level of a sound, in dBFS or dB SPL, lies beyond it.
constexpr double max_scale_top_db = 400.0;
constexpr double min_slice_s = 0.01;

struct MapArgs {
    MapRequest request;
    std::string geometry, png, csv, calib, png_dir, zone_csv, zone_spectrum;
    VideoOptions video;
    double every_s = 0.0;  // 0: one map of the whole range
    std::optional<double> top_db;
    QSize size;  // of the pictures; empty: the usual one
    bool has_freq = false, has_band = false, has_fmin = false, has_fmax = false;
    std::vector<std::string> method_options;  // given, to check against the method
    std::string error;
};

// The option that sets one of a method's parameters.
struct MethodOption {
    const am::ParameterRange* parameter = nullptr;
    am::MethodKind method{};
};

std::optional<MethodOption> method_option(const std::string& name)
{
    for (const am::MethodDescription& d : am::method_table())
        for (const am::ParameterRange& p : d.parameters)
            if (name == p.option)
                return MethodOption{&p, d.kind};
    return std::nullopt;
}

bool invalid(MapArgs& a, const std::string& name, const std::string& value, const std::string& range = {})
{
    a.error = "valeur invalide pour " + name + " : " + value + range;
    return false;
}

// A method's parameter, checked against its range (a whole number where
// it has no decimals).
bool take_method_option(MapArgs& a, const MethodOption& option, const std::string& value)
{
    const am::ParameterRange& p = *option.parameter;
    a.method_options.push_back(p.option);
    const auto v = number(value);
    const bool whole = !p.whole || (v && *v == std::floor(*v));
    if (!v || !whole || *v < p.low || *v > p.high) {
        const std::string range = " (" + std::string(p.whole ? "entier " : "") + "de " +
                                  decimal(p.low, p.decimals) + " à " + decimal(p.high, p.decimals) + ")";
        return invalid(a, p.option, value, range);
    }
    p.set(a.request.settings.parameters, *v);
    return true;
}

// One option and its value into `a`; false with a.error set when it is wrong.
bool take(MapArgs& a, const std::string& name, const std::string& value)
{
    if (const auto option = method_option(name))
        return take_method_option(a, *option, value);
    if (const auto video = take_video_option(a.video, name, value))
        return (a.error = *video).empty();
    am::Settings& s = a.request.settings;
    const std::map<std::string, double*> numbers = {
        {"--freq", &s.frequency}, {"--z", &s.grid.z},          {"--extent", &s.grid.extent},
        {"--step", &s.grid.step}, {"--from", &a.request.from_s}, {"--to", &a.request.to_s},
        {"--fmin", &s.lower_hz},  {"--fmax", &s.upper_hz}};
    if (const auto n = numbers.find(name); n != numbers.end()) {
        const auto v = number(value);
        if (!v || *v < 0.0)
            return (a.error = "valeur invalide pour " + name + " : " + value), false;
        *n->second = *v;
        a.has_freq |= name == "--freq";
        a.has_fmin |= name == "--fmin";
        a.has_fmax |= name == "--fmax";
    } else if (name == "--band" && (value == "third" || value == "bin")) {
        s.band = value == "third" ? am::BandKind::third_octave : am::BandKind::single_bin;
        a.has_band = true;
    } else if (name == "--band") {
        return (a.error = "--band attend third ou bin"), false;
    } else if (name == "--method") {
        const auto method = am::method_of_key(value);
        if (!method)
            return (a.error = "--method attend " + method_keys(", ", [](const auto&) { return true; }, " ou ")), false;
        s.method = *method;
    } else if (name == "--geometry" || name == "--png" || name == "--csv" || name == "--calib" ||
               name == "--png-dir") {
        (name == "--geometry" ? a.geometry : name == "--png" ? a.png : name == "--csv" ? a.csv
                                            : name == "--calib" ? a.calib : a.png_dir) = value;
    } else if (name == "--zone") {
        a.error = add_zone(a.request.zones, value);
        return a.error.empty();
    } else if (name == "--zone-csv" || name == "--zone-spectrum") {
        (name == "--zone-csv" ? a.zone_csv : a.zone_spectrum) = value;
    } else if (name == "--every") {
        const auto v = number(value);
        if (!v || *v < min_slice_s)
            return invalid(a, name, value, " (au moins 0,01 s)");
        a.every_s = *v;
    } else if (name == "--size") {
        int w = 0, h = 0;
        if (!picture_size(value, w, h))
            return invalid(a, name, value, " (LARGEURxHAUTEUR, de 200 à 4000 pixels)");
        a.size = QSize(w, h);
    } else if (name == "--top") {
        a.top_db = number(value);
        if (!a.top_db || std::abs(*a.top_db) > max_scale_top_db)
            return invalid(a, name, value, " (de -" + decimal(max_scale_top_db, 0) + " à " +
                                               decimal(max_scale_top_db, 0) + " dB)");
    } else {
        return (a.error = "option inconnue : " + name), false;
    }
    return true;
}

// A centre frequency, or a broadband band's two edges.
std::string band_problem(MapArgs& a)
{
    am::Settings& s = a.request.settings;
    if (!a.has_fmin && !a.has_fmax)
        return a.has_freq ? "" : "--freq (ou --fmin et --fmax) attendu";
    if (a.has_freq || a.has_band)
        return "--fmin et --fmax remplacent --freq et --band";
    if (a.has_fmin != a.has_fmax)
        return "--fmin et --fmax vont ensemble";
    if (!(s.upper_hz > s.lower_hz))
        return "--fmax doit dépasser --fmin";
    s.band = am::BandKind::broadband;
    return {};
}

// The zones' outputs go with zones, and with one map.
std::string zone_outputs_problem(const MapArgs& a)
{
    if (a.request.zones.empty() && !(a.zone_csv.empty() && a.zone_spectrum.empty()))
        return "--zone-csv et --zone-spectrum demandent au moins une --zone";
    if (!a.request.zones.empty() && a.every_s > 0.0)
        return "--zone ne va pas avec --every";
    return {};
}

// A video is a picture per frame of the interval, nothing else.
std::string video_problem(const MapArgs& a)
{
    if (std::string problem = video_options_problem(a.video); !problem.empty())
        return problem;
    if (!a.video.path.empty() && !(a.every_s == 0.0 && a.png.empty() && a.csv.empty() && a.request.zones.empty()))
        return "--video ne va pas avec --every, --png, --csv ni --zone";
    return {};
}

// The method's options go with the method chosen.
std::string method_mismatch(const MapArgs& a)
{
    const am::Settings& s = a.request.settings;
    for (const std::string& given : a.method_options)
        if (const auto option = method_option(given); option && option->method != s.method)
            return given + " ne vaut que pour --method " + am::method_key(option->method);
    if (s.remove_diagonal && !am::describe(s.method).removes_diagonal)
        return "--remove-diagonal ne vaut que pour --method " +
               method_keys(", ", [](const am::MethodDescription& d) { return d.removes_diagonal; }, " ou ");
    return {};
}

MapArgs parse_map(const std::vector<std::string>& args)
{
    MapArgs a;
    a.error = parse_options(
        args,
        [](const std::string& name) {
            return name == "--remove-diagonal" || name == "--a-weighting" || is_video_flag(name);
        },
        [&a](const std::string& name, const std::optional<std::string>& value) {
            if (!value && is_video_flag(name))
                take_video_option(a.video, name, {});
            else if (!value)
                (name == "--a-weighting" ? a.request.settings.a_weighted : a.request.settings.remove_diagonal) = true;
            else
                take(a, name, *value);
            return a.error;
        });
    if (a.error.empty() && a.geometry.empty())
        a.error = "--geometry attendu";
    else if (a.error.empty())
        a.error = band_problem(a);
    if (a.error.empty() && a.request.to_s >= 0.0 && a.request.to_s <= a.request.from_s)
        a.error = "--to doit suivre --from";
    if (a.error.empty() && (a.every_s > 0.0) != !a.png_dir.empty())
        a.error = "--every et --png-dir vont ensemble";
    else if (a.error.empty() && a.every_s > 0.0 && !(a.png.empty() && a.csv.empty()))
        a.error = "--png et --csv ne vont pas avec --every (une image par tranche dans --png-dir)";
    if (a.error.empty())
        a.error = method_mismatch(a);
    if (a.error.empty())
        a.error = am::grid_problem(a.request.settings.grid);
    if (a.error.empty())
        a.error = zone_outputs_problem(a);
    if (a.error.empty())
        a.error = video_problem(a);
    if (a.error.empty())
        a.error = zones_problem(a.request.zones, a.request.settings.grid);
    return a;
}

bool write_csv(const std::string& path, const am::Map& map, const am::Grid& grid)
{
    std::ofstream csv(path, std::ios::binary);
    csv << "x,y,level_db\n";
    const bool silent = is_silence(map.max_db, map.unit);
    for (int j = 0; j < map.side; ++j)
        for (int i = 0; i < map.side; ++i)
            csv << plain(grid.coordinate(i), 4) << ',' << plain(grid.coordinate(j), 4) << ','
                << plain_level(map.level_db[static_cast<std::size_t>(j) * map.side + i], silent) << '\n';
    csv.flush();
    return static_cast<bool>(csv);
}

// The CSV and the picture into their temporary files, then both named.
int write_outputs(const MapArgs& a, OutputGroup& files, const am::Map& map, const std::vector<ZoneLevel>& zones,
                  const am::ZoneSpectrum& spectrum, const QString& window, std::ostream& out, std::ostream& err)
{
    const am::Settings& settings = a.request.settings;
    return files.write_all(
        {{"CSV", a.csv, [&](const std::string& t) { return write_csv(t, map, settings.grid); }},
         {"PNG", a.png, [&](const std::string& t) { return write_map_png(t, map, settings, window, a.top_db, a.size); }},
         {"CSV des zones", a.zone_csv, [&](const std::string& t) { return write_zone_csv(t, zones); }},
         {"CSV des spectres de zones", a.zone_spectrum,
          [&](const std::string& t) { return write_zone_spectrum_csv(t, a.request.zones, spectrum, map.unit); }}},
        out, err);
}

} // namespace

int cmd_map(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            std::FILE* terminal)
{
    const MapArgs a = parse_map(args);
    if (!a.error.empty()) {
        err << "sonivar-dat : " << a.error << "\n\n" << map_usage();
        return exit_usage;
    }
    const std::optional<MapInputs> in = read_map_inputs(args[1], a.geometry, a.calib, {a.csv, a.png, a.zone_csv, a.zone_spectrum, a.video.path}, err);
    if (!in)
        return exit_usage;
    const Recording& r = in->recording;
    MapRequest request = a.request;
    request.calibration = in->calibration;
    request.zone_spectrum = !a.zone_spectrum.empty();
    if (!a.video.path.empty())
        return map_video({request, a.video, a.top_db, a.size}, r, in->geometry, out, err, terminal);
    if (a.every_s > 0.0)
        return map_sequence({request, a.every_s, a.png_dir, a.top_db, a.size}, r, in->geometry, out, err, terminal);
    OutputGroup files;
    if (std::string e; !files.create({a.csv, a.png, a.zone_csv, a.zone_spectrum}, e)) {
        err << "sonivar-dat : " << e << "\n";
        return exit_damaged;
    }
    MapResult result;
    {
        Progress progress(terminal, "Carte", r.dat_bytes / r.layout.frame_bytes());
        result = map_recording(r, in->geometry, request, progress);
    }
    if (!result.error.empty()) {
        err << "sonivar-dat : " << result.error << "\n";
        return result.bad_request ? exit_usage : exit_damaged;
    }
    out << "Carte : " << r.dat_path << ", " << grouped(result.frames) << " trames, "
        << r.layout.micros.size() << " micros, grille " << result.map.side << " x "
        << result.map.side << "\n";
    out << "Méthode : " << am::method_line(a.request.settings).toStdString() << "\n";
    const am::Map& map = result.map;
    out << "Maximum : "
        << maximum_text(map.max_x, map.max_y, map.max_db, am::unit_label(map), is_silence(map.max_db, map.unit))
        << "\n";
    const std::vector<ZoneLevel> zones = ranked_levels(request.zones, result.zone_powers, map.unit);
    print_zone_levels(out, zones, am::unit_label(map));
    say_left_out(out, result.non_finite);
    return write_outputs(a, files, result.map, zones, result.zone_spectrum, time_window(r, frame_range(r, request.from_s, request.to_s)), out,
                         err);
}

} // namespace sonivar_dat
