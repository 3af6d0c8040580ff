#include "spectrogram_command.h"

#include "cli.h"
#include "listen_command.h"
#include "options.h"
#include "output_file.h"
#include "picture_context.h"
#include "progress.h"
#include "stream_reader.h"

#include "map/focused_recording.h"
#include "map/geometry.h"
#include "picture/spectrogram_picture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;
namespace sp = SonivarACQ32::spectrum;

const char* const spectrogram_usage =
    "Usage : sonivar-dat spectrogram ENREGISTREMENT.dat [--mic N | --at X,Y,Z --geometry G.xml]\n"
    "                                [--from S] [--to S] [--step S] [--calib ETALONNAGE.xml]\n"
    "                                [--png SORTIE.png] [--csv SORTIE.csv] [--size LxH]\n"
    "Spectrogramme de l'enregistrement : le temps en abscisse, la fréquence en\n"
    "ordonnée, le niveau en couleur (60 dB sous le maximum). Chaque colonne est la\n"
    "moyenne de blocs de Hann de 1024 trames répartis sur son pas (8 au plus).\n"
    "  --mic N             index global du micro, 0 à 31 (défaut : moyenne des micros)\n"
    "  --at X,Y,Z          le son d'un point (m), les micros retardés et sommés vers\n"
    "  --geometry FICHIER  lui selon la géométrie (XML MicGeom)\n"
    "  --from S, --to S    intervalle de temps en secondes (défaut : tout)\n"
    "  --step S            pas des colonnes (défaut : au plus 2 000 colonnes)\n"
    "  --calib FICHIER     étalonnage : niveaux en dB SPL ; sans lui, en dBFS\n"
    "  --png FICHIER       image du spectrogramme, avec son titre, ses axes et son\n"
    "                      échelle\n"
    "  --csv FICHIER       table time_s,frequency_hz,level_db (le milieu de chaque\n"
    "                      colonne, chaque raie)\n"
    "  --size LxH          taille du tracé en pixels (défaut 900x400)\n"
    "Code de sortie : 0, 1 si la lecture échoue, 2 pour des arguments erronés ou\n"
    "des fichiers illisibles.\n";

namespace {

constexpr int shown_range_db = 60;
constexpr double least_step_s = 0.001;

struct SpectrogramArgs {
    int mic = -1;  // global index; negative: the mean over the microphones
    std::optional<am::Position> at;
    double from_s = 0.0, to_s = -1.0, step_s = 0.0;
    std::string geometry, calib, png, csv;
    QSize size{900, 400};
    std::string error;
};

std::string take(SpectrogramArgs& a, const std::string& name, const std::string& value)
{
    const auto v = number(value);
    if (name == "--mic") {
        if (!v || *v != std::floor(*v) || *v < 0.0 || *v >= SonivarACQ32::stream::calibrated_microphones)
            return "valeur invalide pour --mic : " + value + " (index de 0 à 31)";
        a.mic = static_cast<int>(*v);
    } else if (name == "--at") {
        return take_point(value, a.at);
    } else if (name == "--from" || name == "--to" || name == "--step") {
        if (!v || *v < 0.0 || (name == "--step" && *v < least_step_s))
            return "valeur invalide pour " + name + " : " + value + (name == "--step" ? " (au moins 0,001 s)" : "");
        (name == "--from" ? a.from_s : name == "--to" ? a.to_s : a.step_s) = *v;
    } else if (name == "--size") {
        int w = 0, h = 0;
        if (!picture_size(value, w, h))
            return "valeur invalide pour --size : " + value + " (LARGEURxHAUTEUR, de 200 à 4000 pixels)";
        a.size = QSize(w, h);
    } else if (name == "--geometry" || name == "--calib" || name == "--png" || name == "--csv") {
        (name == "--geometry" ? a.geometry : name == "--calib" ? a.calib : name == "--png" ? a.png : a.csv) = value;
    } else {
        return "option inconnue : " + name;
    }
    return {};
}

SpectrogramArgs parse_spectrogram(const std::vector<std::string>& args)
{
    SpectrogramArgs a;
    a.error = parse_options(
        args, [](const std::string&) { return false; },
        [&a](const std::string& name, const std::optional<std::string>& value) { return take(a, name, *value); });
    if (!a.error.empty())
        return a;
    if (a.mic >= 0 && a.at)
        a.error = "--mic et --at s'excluent";
    else if (a.at.has_value() != !a.geometry.empty())
        a.error = "--at et --geometry vont ensemble";
    else if (a.png.empty() && a.csv.empty())
        a.error = "--png ou --csv attendu";
    else if (a.to_s >= 0.0 && a.to_s <= a.from_s)
        a.error = "--to doit suivre --from";
    return a;
}

bool write_csv(const std::string& path, const sp::Spectrogram& d)
{
    std::ofstream csv(path, std::ios::binary);
    csv << "time_s,frequency_hz,level_db\n";
    for (int c = 0; c < d.done; ++c) {
        const std::string time = plain(d.centre_s(c), 4) + ',';
        for (int b = 1; b <= sp::spectrogram_bins; ++b) {
            const double db = level_db(d.at(c, b), d.unit);
            csv << time << plain(d.frequency(b), 2) << ',' << plain_level(db, is_silence(db, d.unit)) << '\n';
        }
    }
    csv.flush();
    return static_cast<bool>(csv);
}

// The loudest cell: "2 000 Hz à 1,25 s, -53,2 dBFS".
std::string loudest(const sp::Spectrogram& d)
{
    int column = 0, bin = 1;
    for (int c = 0; c < d.done; ++c)
        for (int b = 1; b <= sp::spectrogram_bins; ++b)
            if (d.at(c, b) > d.at(column, bin))
                std::tie(column, bin) = std::pair{c, b};
    const double db = level_db(d.at(column, bin), d.unit);
    if (d.done == 0 || is_silence(db, d.unit))
        return "silence";
    return french_grouped(d.frequency(bin), 0) + " Hz à " + decimal(d.centre_s(column), 2) + " s, " + decimal(db, 1) +
           " " + unit_text(d.unit);
}

struct Inputs {
    Recording recording;
    std::optional<am::Geometry> geometry;
    std::optional<Calibration> calibration;
    int channel = -1;  // the microphone's place among the recording's
};

std::optional<Inputs> read_inputs(const std::vector<std::string>& args, const SpectrogramArgs& a, std::ostream& err)
{
    LoadResult loaded = load_recording(args[1]);
    const CalibrationResult calib = a.calib.empty() ? CalibrationResult{} : read_calibration(a.calib);
    const am::GeometryResult geometry = a.geometry.empty() ? am::GeometryResult{} : am::read_geometry(a.geometry);
    std::string why = !loaded.recording                           ? loaded.error
                      : !a.calib.empty() && !calib.calibration     ? calib.error
                      : !a.geometry.empty() && !geometry.geometry ? geometry.error
                                                                   : std::string();
    if (why.empty())
        why = outputs_refusal(*loaded.recording, {a.png, a.csv}, {a.calib, a.geometry});
    const auto& micros = why.empty() ? loaded.recording->layout.micros : std::vector<int>{};
    const auto place = std::find(micros.begin(), micros.end(), a.mic);
    if (why.empty() && a.mic >= 0 && place == micros.end())
        why = "le micro " + std::to_string(a.mic) + " n'est pas dans l'enregistrement";
    if (!why.empty()) {
        err << "sonivar-dat : " << why << "\n";
        return std::nullopt;
    }
    const int channel = a.mic < 0 ? -1 : static_cast<int>(place - micros.begin());
    return Inputs{std::move(*loaded.recording), geometry.geometry, calib.calibration, channel};
}

} // namespace

namespace {

constexpr int columns_per_step = 64;  // between two updates of the progress line

// The spectrogram of the inputs' stretch, column after column.
std::string compute(const SpectrogramArgs& a, const Inputs& in, sp::Spectrogram& out, std::FILE* terminal)
{
    const Recording& r = in.recording;
    const FrameRange range = frame_range(r, a.from_s, a.to_s);
    const double rate = sampling_rate_hz(r.header);
    if (!(rate > 0.0))
        return "Fréquence d'échantillonnage inconnue";
    out = sp::empty_spectrogram(sp::spectrogram_grid(range.frames(), rate, a.step_s),
                                static_cast<double>(range.first) / rate, unit_of(in.calibration));
    if (out.grid.columns() == 0)
        return "moins de " + std::to_string(am::block_frames) + " trames dans l'intervalle : pas de spectrogramme";
    const Calibration factors = sample_factors(in.calibration, r.header.type_float != 0);
    const SonivarACQ32::stream::BlockReader read = a.at ? am::focused_blocks(r, *in.geometry, *a.at, range, factors)
                                                        : SonivarACQ32::stream::recording_blocks(r, range, factors);
    const int channels = a.at ? 1 : static_cast<int>(r.layout.micros.size());
    Progress progress(terminal, "Spectrogramme", static_cast<std::uint64_t>(out.grid.columns()));
    while (out.done < out.grid.columns()) {
        if (std::string why = sp::fill_columns(out, channels, a.at ? 0 : in.channel, read, out.done + columns_per_step);
            !why.empty())
            return why;
        progress.update(static_cast<std::uint64_t>(out.done));
    }
    return {};
}

std::vector<QString> title_of(const SpectrogramArgs& a, const Inputs& in, const sp::Spectrogram& d)
{
    const Recording& r = in.recording;
    const std::string which = a.at ? "point x = " + decimal(a.at->x, 2) + " m, y = " + decimal(a.at->y, 2) +
                                         " m, z = " + decimal(a.at->z, 2) + " m"
                              : a.mic < 0 ? "moyenne de " + std::to_string(r.layout.micros.size()) + " micros"
                                          : "micro " + std::to_string(a.mic);
    const double end_s = d.start_s + static_cast<double>(d.grid.frames) / d.grid.sample_rate;
    return {QString::fromStdString("Spectrogramme de " + std::filesystem::path(r.dat_path).filename().string() +
                                   ", " + which),
            QString::fromStdString("De " + decimal(d.start_s, 2) + " s à " + decimal(end_s, 2) + " s, colonnes de " +
                                   decimal(d.grid.step_s(), 3) + " s")};
}

} // namespace

int cmd_spectrogram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::FILE* terminal)
{
    const SpectrogramArgs a = parse_spectrogram(args);
    if (!a.error.empty()) {
        err << "sonivar-dat : " << a.error << "\n\n" << spectrogram_usage;
        return exit_usage;
    }
    const std::optional<Inputs> in = read_inputs(args, a, err);
    if (!in)
        return exit_usage;
    OutputGroup files;
    if (std::string e; !files.create({a.png, a.csv}, e)) {
        err << "sonivar-dat : " << e << "\n";
        return exit_damaged;
    }
    sp::Spectrogram d;
    if (const std::string why = compute(a, *in, d, terminal); !why.empty()) {
        err << "sonivar-dat : " << why << "\n";
        return exit_damaged;
    }
    const std::vector<QString> title = title_of(a, *in, d);
    out << title[0].toStdString() << "\n" << title[1].toStdString() << " (" << grouped(d.grid.columns())
        << " colonnes)\nMaximum : " << loudest(d) << "\n";
    const auto picture = [&](const std::string& t) {
        ensure_picture_context();
        const float top = sp::spectrogram_top_db(d, false);
        return write_png(sp::framed_spectrogram(d, false, top, shown_range_db, a.size, title), t);
    };
    return files.write_all({{"PNG", a.png, picture}, {"CSV", a.csv, [&](const std::string& t) { return write_csv(t, d); }}},
                           out, err);
}

} // namespace sonivar_dat
