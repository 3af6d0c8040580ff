#include "cli.h"

#include <charconv>

#include "check.h"
#include "export.h"
#include "map_command.h"
#include "spectrum_command.h"
#include "listen_command.h"
#include "spectrogram_command.h"
#include "options.h"
#include "progress.h"
#include "stream_reader.h"
#include "picture/camera_video.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace sonivar_dat {
namespace {

const char* const general_usage =
    "Usage : sonivar-dat COMMANDE ENREGISTREMENT.dat [OPTIONS]\n"
    "\n"
    "Commandes :\n"
    "  info    en-tête et description de l'enregistrement\n"
    "  check   vérifie le compteur de chaque trame et la longueur du fichier\n"
    "  export  exporte les micros en WAV (--wav) et/ou HDF5 (--hdf5)\n"
    "  map     carte acoustique de l'enregistrement (--geometry, --freq)\n"
    "  spectrum  spectre de puissance de l'enregistrement\n"
    "  listen  son d'un point devant l'antenne (--geometry, --at, --wav)\n"
    "  spectrogram  spectrogramme de l'enregistrement (--png, --csv)\n"
    "\n"
    "sonivar-dat COMMANDE --help : aide de la commande.\n";

const char* const info_usage =
    "Usage : sonivar-dat info ENREGISTREMENT.dat\n"
    "Affiche la date, la fréquence, les voies, les micros actifs, le nombre\n"
    "d'échantillons, la durée, le type et le commentaire de l'enregistrement, lus\n"
    "dans les fichiers .Zv et .log voisins.\n"
    "Code de sortie : 0, ou 2 si un fichier manque ou est illisible.\n";

const char* const check_usage =
    "Usage : sonivar-dat check ENREGISTREMENT.dat\n"
    "Vérifie le compteur de chaque trame et la longueur du fichier .dat par\n"
    "rapport au nombre d'échantillons de l'en-tête.\n"
    "Code de sortie : 0 enregistrement complet, 1 endommagé ou interrompu, 2 fichiers manquants\n"
    "ou illisibles, 3 sans voie compteur (vérification impossible).\n";

const char* const export_usage =
    "Usage : sonivar-dat export ENREGISTREMENT.dat [--wav SORTIE.wav] [--hdf5 SORTIE.h5]\n"
    "                           [--channels LISTE] [--geometry G.xml] [--calib E.xml]\n"
    "  --wav FICHIER      WAV multivoie, 32 bits entiers ou flottants comme\n"
    "                     l'enregistrement (RF64 au-delà de 4 Gio)\n"
    "  --hdf5 FICHIER     jeu de données time_data (échantillons x voies, float32)\n"
    "                     et attributs sample_freq (horloge exacte de l'unité),\n"
    "                     microphones, sample_type, comment, start_time (aussi dans\n"
    "                     le groupe /metadata)\n"
    "  --channels LISTE   micros exportés, par index global : 0,3,8-15\n"
    "  --geometry G.xml   positions des micros (XML MicGeom) : microphone_positions\n"
    "                     (3 x voies, m) de time_data et de /metadata\n"
    "  --calib E.xml      étalonnage des 32 micros (Pa par unité) : à côté de\n"
    "                     l'export, SORTIE.calib.xml avec le facteur de chaque voie\n"
    "                     exportée, en Pa par unité des données exportées ;\n"
    "                     calibration_factors et calibration_unit dans le HDF5\n"
    "Une voie par micro, dans l'ordre des index globaux ; compteur et status omis.\n"
    "Chaque fichier est écrit sous un nom provisoire puis renommé à la fin.\n"
    "Code de sortie : 0, 1 si l'export échoue, 2 pour des arguments erronés ou une\n"
    "sortie qui est un des fichiers lus (l'enregistrement, la géométrie, l'étalonnage).\n";

bool is_help(const std::string& a) { return a == "--help" || a == "-h"; }

int usage_error(std::ostream& err, const std::string& why, const char* usage)
{
    err << "sonivar-dat : " << why << "\n\n" << usage;
    return exit_usage;
}

std::optional<Recording> load(const std::string& path, std::ostream& err)
{
    LoadResult loaded = load_recording(path);
    if (!loaded.recording)
        err << "sonivar-dat : " << loaded.error << "\n";
    return std::move(loaded.recording);
}

std::string two(int v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", v);
    return text;
}

void print_micros(std::ostream& out, const FrameLayout& layout)
{
    out << "Micros actifs : " << layout.micros.size() << "\n";
    int beam = -1;
    for (int m : layout.micros) {
        if (m / 8 != beam) {
            out << (beam >= 0 ? "\n" : "") << "  faisceau " << m / 8 << " :";
            beam = m / 8;
        }
        out << " " << beam << "/" << m % 8 << " (index " << m << ")";
    }
    if (beam >= 0)
        out << "\n";
}

void print_comment(std::ostream& out, const std::string& comment)
{
    out << "Commentaire :";
    if (comment.empty()) {
        out << " (aucun)\n";
        return;
    }
    std::size_t start = 0;
    while (start <= comment.size()) {
        const std::size_t end = comment.find('\n', start);
        std::string line = comment.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out << (start == 0 ? " " : "  ") << line << "\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

void print_interrupted(std::ostream& out, std::uint64_t frames)
{
    out << "Enregistrement interrompu : " << grouped(frames) << " trames lisibles\n";
}

// The camera's video recorded beside it, when there is one.
void print_camera_video(std::ostream& out, const std::string& dat_path)
{
    const std::string path = SonivarACQ32::picture::camera_video_path(dat_path);
    if (!std::filesystem::exists(path))
        return;
    const std::string name = std::filesystem::path(path).filename().string();
    std::string error;
    const auto video = SonivarACQ32::picture::read_camera_video(path, error);
    if (!video) {
        out << "Vidéo de la caméra : " << name << " illisible (" << error << ")\n";
        return;
    }
    out << "Vidéo de la caméra : " << name << ", " << grouped(video->frames.size()) << " images de "
        << video->size.width() << " × " << video->size.height();
    if (!video->frames.empty())
        out << ", des trames " << grouped(video->frames.front()) << " à " << grouped(video->frames.back());
    out << "\n";
    const auto& tags = video->tags;
    if (!tags.name.empty())
        out << "Caméra : " << tags.name << "\n";
    if (const auto& g = tags.geometry)
        out << "Placement de la caméra : champ " << decimal(g->fov_deg, 1) << "°, x = " << decimal(g->offset_x_mm, 0)
            << " mm, y = " << decimal(g->offset_y_mm, 0) << " mm" << (g->mirror ? ", miroir" : "")
            << (g->rotation_deg != 0 ? ", tournée de " + std::to_string(g->rotation_deg) + "°" : std::string()) << "\n";
}

int cmd_info(const Recording& r, std::ostream& out)
{
    const auto& h = r.header;
    const FrameLayout& l = r.layout;
    out << "Enregistrement : " << r.dat_path << "\n";
    out << "Date : " << two(h.date.wDay) << "/" << two(h.date.wMonth) << "/" << h.date.wYear
        << "  Heure : " << two(h.date.wHour) << ":" << two(h.date.wMinute) << ":"
        << two(h.date.wSecond) << "\n";
    out << "Fréquence : " << decimal(h.freq, std::floor(h.freq) == h.freq ? 0 : 3) << " Hz";
    if (const auto clock = unit_clock_hz(h.freq))
        out << " (horloge de l'unité : " << decimal(*clock, std::floor(*clock) == *clock ? 0 : 3)
            << " Hz)";
    out << "\n";
    out << "Voies par trame : " << l.nb_voies << "\n";
    print_micros(out, l);
    out << "Voie compteur : " << (l.counter ? "oui (mot 0)" : "non") << "\n";
    out << "Voie status : "
        << (l.status ? "oui (mot " + std::to_string(l.status_word()) + ", dernier de la trame)"
                     : std::string("non"))
        << "\n";
    out << "Échantillons par voie : " << grouped(h.nb_ech) << "\n";
    out << "Durée : " << decimal(h.duree_acq, 3) << " s\n";
    out << "Type : " << sample_type_name(h) << "\n";
    out << "Fichier de données : " << grouped(r.dat_bytes) << " octets ("
        << grouped(r.dat_bytes / l.frame_bytes()) << " trames)\n";
    if (is_interrupted(r))
        print_interrupted(out, r.dat_bytes / l.frame_bytes());
    print_camera_video(out, r.dat_path);
    print_comment(out, recording_comment(r));
    return exit_ok;
}

void print_gap(std::ostream& out, const CounterGap& g)
{
    if (!g.resumed) {
        out << "Compteur perdu à la trame " << grouped(g.frame) << " (octet " << grouped(g.byte_offset)
            << ") jusqu'à la fin du fichier : attendu " << g.expected << "\n";
        return;
    }
    if (g.frame == 0 && g.byte_offset == 0 && g.expected == g.found) {
        out << "Début du fichier : " << grouped(g.skipped_words)
            << " mots avant la première trame au compteur continu\n";
        return;
    }
    out << "Écart à la trame " << grouped(g.frame) << " (octet " << grouped(g.byte_offset)
        << ") : attendu " << g.expected << ", trouvé " << g.found << ", ";
    if (g.frames_lost > 0)
        out << grouped(static_cast<std::uint64_t>(g.frames_lost)) << " trame(s) perdue(s)";
    else if (g.frames_lost < 0)
        out << "compteur en arrière de " << grouped(static_cast<std::uint64_t>(-g.frames_lost))
            << " trame(s)";
    else
        out << "compteur erroné, aucune trame perdue";
    if (g.skipped_words > 0)
        out << ", après " << grouped(g.skipped_words) << " mot(s) de trame incomplète";
    out << "\n";
}

void print_length(std::ostream& out, const CheckReport& c, const Recording& r)
{
    out << "Trames dans le fichier : " << grouped(c.frames) << " (en-tête : "
        << grouped(c.header_frames) << ")\n";
    if (c.tail_bytes > 0)
        out << "Dernière trame tronquée : " << grouped(c.tail_bytes) << " octet(s) sur "
            << r.layout.frame_bytes() << "\n";
    if (c.interrupted)
        print_interrupted(out, c.frames);
    else if (!c.length_ok())
        out << "Longueur : " << grouped(c.file_bytes) << " octets, l'en-tête en annonce "
            << grouped(static_cast<std::uint64_t>(c.header_frames) * r.layout.frame_bytes()) << "\n";
}

int cmd_check(const Recording& r, std::ostream& out, std::ostream& err, std::FILE* terminal)
{
    CheckReport c;
    {
        Progress progress(terminal, "Vérification", r.dat_bytes);
        c = check_recording(r, progress);
    }
    if (!c.read_error.empty()) {
        err << "sonivar-dat : " << c.read_error << "\n";
        return exit_usage;
    }
    out << "Vérification : " << r.dat_path << "\n";
    print_length(out, c, r);
    for (const CounterGap& g : c.gaps)
        print_gap(out, g);
    if (c.gap_count > c.gaps.size())
        out << "... et " << grouped(c.gap_count - c.gaps.size()) << " autre(s) écart(s)\n";
    if (!c.counter) {
        out << "Sans voie compteur, l'enregistrement ne peut pas être vérifié.\n";
        return c.length_ok() ? exit_unverified : exit_damaged;
    }
    if (c.whole()) {
        out << "Résultat : enregistrement complet\n";
        return exit_ok;
    }
    if (c.interrupted && c.gap_count == 0) {
        out << "Résultat : enregistrement interrompu, " << grouped(c.frames) << " trames lisibles\n";
        return exit_damaged;
    }
    out << "Résultat : enregistrement endommagé (" << grouped(c.gap_count) << " écart(s), "
        << grouped(c.frames_lost) << " trame(s) perdue(s)"
        << (c.interrupted ? ", interrompu" : c.length_ok() ? "" : ", longueur incorrecte") << ")\n";
    return exit_damaged;
}

struct ExportArgs {
    ExportRequest request;
    std::string error;
};

ExportArgs parse_export(const std::vector<std::string>& args)
{
    ExportArgs a;
    for (std::size_t i = 2; i < args.size() && a.error.empty(); ++i) {
        const auto [name, value] = next_option(args, i);
        if (name != "--wav" && name != "--hdf5" && name != "--channels" && name != "--geometry" && name != "--calib")
            a.error = "option inconnue : " + name;
        else if (!value || value->empty())
            a.error = "valeur manquante après " + name;
        else if (name == "--calib")
            a.request.calibration_path = *value;
        else if (name == "--geometry")
            a.request.geometry_path = *value;
        else if (name == "--wav")
            a.request.wav_path = *value;
        else if (name == "--hdf5")
            a.request.hdf5_path = *value;
        else if (auto list = parse_channel_list(*value, a.error))
            a.request.micros = *list;
    }
    if (a.error.empty() && a.request.wav_path.empty() && a.request.hdf5_path.empty())
        a.error = "--wav ou --hdf5 attendu";
    return a;
}

int cmd_export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               std::FILE* terminal)
{
    const ExportArgs a = parse_export(args);
    if (!a.error.empty())
        return usage_error(err, a.error, export_usage);
    const auto r = load(args[1], err);
    if (!r)
        return exit_usage;
    if (const auto missing = words_of(r->layout, a.request.micros); !missing)
        return usage_error(err, "--channels nomme un micro absent de l'enregistrement", export_usage);
    ExportResult result;
    {
        Progress progress(terminal, "Export", r->dat_bytes / r->layout.frame_bytes());
        result = export_recording(*r, a.request, progress);
    }
    if (!result.error.empty()) {
        err << "sonivar-dat : " << result.error << "\n";
        return result.refused ? exit_usage : exit_damaged;
    }
    const char* type = sample_type_name(r->header);
    if (!a.request.wav_path.empty())
        out << "WAV" << (result.rf64 ? " (RF64)" : "") << " : " << a.request.wav_path << ", "
            << result.channels << " voie(s) " << type << ", " << grouped(result.frames)
            << " échantillons\n";
    if (!a.request.hdf5_path.empty())
        out << "HDF5 : " << a.request.hdf5_path << ", time_data " << grouped(result.frames) << " x "
            << result.channels << " float32\n";
    if (!result.calibration_path.empty())
        out << "Étalonnage : " << result.calibration_path << ", " << result.channels
            << " facteur(s) en Pa par unité des données exportées\n";
    return exit_ok;
}

} // namespace

std::string grouped(std::uint64_t value) { return french_grouped(static_cast<double>(value), 0); }

std::string decimal(double value, int decimals) { return french_decimal(value, decimals); }

std::string plain(double value, int decimals) { return SonivarACQ32::stream::dot_decimal(value, decimals); }

bool picture_size(const std::string& text, int& width, int& height)
{
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    const auto side = [](const std::string& digits, int& out) {
        const char* end = digits.data() + digits.size();
        const auto [at, ec] = std::from_chars(digits.data(), end, out);
        return ec == std::errc() && at == end && out >= min_picture_side && out <= max_picture_side;
    };
    return side(text.substr(0, x), width) && side(text.substr(x + 1), height);
}

std::string plain_level(double level, bool silence)
{
    return silence ? "-inf" : plain(level, 2);
}

std::string maximum_text(double x, double y, double level, const std::string& unit, bool silence)
{
    if (silence)
        return "silence";
    return "x = " + decimal(x, 2) + " m, y = " + decimal(y, 2) + " m, " + decimal(level, 1) + " " + unit;
}

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            std::FILE* terminal)
{
    if (args.empty())
        return usage_error(err, "commande manquante", general_usage);
    const std::string& command = args[0];
    if (is_help(command)) {
        out << general_usage;
        return exit_ok;
    }
    const char* usage = command == "info"    ? info_usage
                        : command == "check" ? check_usage
                        : command == "export" ? export_usage
                        : command == "map"    ? map_usage()
                        : command == "spectrum" ? spectrum_usage
                        : command == "listen"   ? listen_usage
                        : command == "spectrogram" ? spectrogram_usage
                                              : nullptr;
    if (usage == nullptr)
        return usage_error(err, "commande inconnue : " + command, general_usage);
    for (const std::string& a : args)
        if (is_help(a)) {
            out << usage;
            return exit_ok;
        }
    if (args.size() < 2 || args[1].starts_with("-"))
        return usage_error(err, "fichier .dat manquant", usage);
    if (command == "export")
        return cmd_export(args, out, err, terminal);
    if (command == "map")
        return cmd_map(args, out, err, terminal);
    if (command == "spectrum")
        return cmd_spectrum(args, out, err, terminal);
    if (command == "listen")
        return cmd_listen(args, out, err, terminal);
    if (command == "spectrogram")
        return cmd_spectrogram(args, out, err, terminal);
    if (args.size() > 2)
        return usage_error(err, "argument en trop : " + args[2], usage);
    const auto r = load(args[1], err);
    if (!r)
        return exit_usage;
    return command == "info" ? cmd_info(*r, out) : cmd_check(*r, out, err, terminal);
}

} // namespace sonivar_dat
