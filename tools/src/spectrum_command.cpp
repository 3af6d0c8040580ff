#include "spectrum_command.h"

#include "cli.h"
#include "options.h"
#include "output_file.h"
#include "picture_context.h"
#include "progress.h"
#include "recording_map.h"

#include "spectrum/spectrum.h"
#include "picture/spectrum_plot.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace sonivar_dat {

namespace sp = SonivarACQ32::spectrum;

const char* const spectrum_usage =
    "Usage : sonivar-dat spectrum ENREGISTREMENT.dat [--mic N] [--from S] [--to S]\n"
    "                             [--third-octave] [--a-weighting] [--calib ETALONNAGE.xml]\n"
    "                             [--csv SORTIE.csv] [--png SORTIE.png] [--size LxH]\n"
    "Spectre de puissance de l'enregistrement (blocs de Hann de 1024 trames),\n"
    "moyenné sur l'intervalle de temps : un micro, ou la moyenne des micros acquis.\n"
    "Un son pur se lit à son propre niveau.\n"
    "  --mic N             index global du micro, 0 à 31 (défaut : moyenne des micros)\n"
    "  --from S, --to S    intervalle de temps en secondes (défaut : tout)\n"
    "  --third-octave      bandes de tiers d'octave (défaut : raies de l'analyse)\n"
    "  --a-weighting       pondération A\n"
    "  --calib FICHIER     étalonnage : niveaux en dB SPL ; sans lui, en dBFS\n"
    "  --csv FICHIER       table frequency_hz,level_db\n"
    "  --png FICHIER       image du spectre, avec son titre, ses axes et son unité\n"
    "  --size LxH          taille du tracé en pixels (défaut 800x450)\n"
    "Code de sortie : 0, 1 si le spectre ne peut être calculé, 2 pour des arguments\n"
    "erronés ou des fichiers illisibles.\n";

namespace {

struct SpectrumArgs {
    MapRequest request;
    int mic = -1;  // global index; negative: the mean over the microphones
    bool third_octave = false;
    bool a_weighting = false;
    std::string calib, csv, png;
    QSize size{800, 450};  // of the plot in the picture
    std::string error;
};

bool take(SpectrumArgs& a, const std::string& name, const std::string& value)
{
    const auto v = number(value);
    if (name == "--mic") {
        if (!v || *v != std::floor(*v) || *v < 0.0 || *v >= SonivarACQ32::stream::calibrated_microphones)
            return (a.error = "valeur invalide pour --mic : " + value + " (index de 0 à 31)"), false;
        a.mic = static_cast<int>(*v);
    } else if (name == "--from" || name == "--to") {
        if (!v || *v < 0.0)
            return (a.error = "valeur invalide pour " + name + " : " + value), false;
        (name == "--from" ? a.request.from_s : a.request.to_s) = *v;
    } else if (name == "--size") {
        int w = 0, h = 0;
        if (!picture_size(value, w, h))
            return (a.error = "valeur invalide pour --size : " + value + " (LARGEURxHAUTEUR, de 200 à 4000 pixels)"),
                   false;
        a.size = QSize(w, h);
    } else if (name == "--calib" || name == "--csv" || name == "--png") {
        (name == "--calib" ? a.calib : name == "--csv" ? a.csv : a.png) = value;
    } else {
        return (a.error = "option inconnue : " + name), false;
    }
    return true;
}

SpectrumArgs parse_spectrum(const std::vector<std::string>& args)
{
    SpectrumArgs a;
    a.error = parse_options(
        args, [](const std::string& name) { return name == "--third-octave" || name == "--a-weighting"; },
        [&a](const std::string& name, const std::optional<std::string>& value) {
            if (!value)
                (name == "--third-octave" ? a.third_octave : a.a_weighting) = true;
            else
                take(a, name, *value);
            return a.error;
        });
    if (a.error.empty() && a.request.to_s >= 0.0 && a.request.to_s <= a.request.from_s)
        a.error = "--to doit suivre --from";
    return a;
}

bool write_csv(const std::string& path, const sp::PlotData& plot, LevelUnit unit)
{
    std::ofstream csv(path, std::ios::binary);
    csv << "frequency_hz,level_db\n";
    for (std::size_t i = 0; i < plot.lines.size(); ++i)
        csv << plain(plot.lines[i].frequency, 2) << ',' << plain_level(plot.levels[i], is_silence(plot.levels[i], unit))
            << '\n';
    csv.flush();
    return static_cast<bool>(csv);
}

bool write_picture(const std::string& path, const sp::PlotData& plot, const std::vector<std::string>& title,
                   QSize size)
{
    ensure_picture_context();
    std::vector<QString> lines;
    for (const std::string& line : title)
        lines.push_back(QString::fromStdString(line));
    return write_png(sp::titled_spectrum_image(plot, size, lines), path);
}

// The CSV and the picture into their temporary files, then both named.
int write_outputs(const SpectrumArgs& a, OutputGroup& files, const sp::PlotData& plot, LevelUnit unit,
                  const std::vector<std::string>& title, std::ostream& out, std::ostream& err)
{
    return files.write_all({{"CSV", a.csv, [&](const std::string& t) { return write_csv(t, plot, unit); }},
                            {"PNG", a.png, [&](const std::string& t) { return write_picture(t, plot, title, a.size); }}},
                           out, err);
}

// The spectrum's lines and levels as the options ask.
sp::PlotData plot_of(const SpectrumArgs& a, const Recording& r, const SpectrumResult& result, int channel)
{
    sp::PlotData plot;
    plot.nyquist = r.header.freq / 2.0;
    plot.lines = sp::narrow_band(result.auto_spectra, static_cast<int>(r.layout.micros.size()), channel, r.header.freq);
    if (a.third_octave)
        plot.lines = sp::third_octave_bands(plot.lines);
    plot.bars = a.third_octave;
    plot.levels = sp::levels_db(plot.lines, result.unit, a.a_weighting);
    plot.unit = sp::unit_label(result.unit, a.a_weighting);
    return plot;
}

} // namespace

int cmd_spectrum(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::FILE* terminal)
{
    const SpectrumArgs a = parse_spectrum(args);
    if (!a.error.empty()) {
        err << "sonivar-dat : " << a.error << "\n\n" << spectrum_usage;
        return exit_usage;
    }
    LoadResult loaded = load_recording(args[1]);
    const CalibrationResult calib = a.calib.empty() ? CalibrationResult{} : read_calibration(a.calib);
    if (!loaded.recording || (!a.calib.empty() && !calib.calibration)) {
        err << "sonivar-dat : " << (!loaded.recording ? loaded.error : calib.error) << "\n";
        return exit_usage;
    }
    const Recording& r = *loaded.recording;
    if (const std::string why = outputs_refusal(r, {a.csv, a.png}, {a.calib}); !why.empty()) {
        err << "sonivar-dat : " << why << "\n";
        return exit_usage;
    }
    const auto& micros = r.layout.micros;
    const auto at = std::find(micros.begin(), micros.end(), a.mic);
    if (a.mic >= 0 && at == micros.end()) {
        err << "sonivar-dat : le micro " << a.mic << " n'est pas dans l'enregistrement\n";
        return exit_usage;
    }
    OutputGroup files;
    if (std::string e; !files.create({a.csv, a.png}, e)) {
        err << "sonivar-dat : " << e << "\n";
        return exit_damaged;
    }
    MapRequest request = a.request;
    request.calibration = calib.calibration;
    SpectrumResult result;
    {
        Progress progress(terminal, "Spectre", r.dat_bytes / r.layout.frame_bytes());
        result = spectrum_of_recording(r, request, progress);
    }
    if (!result.error.empty()) {
        err << "sonivar-dat : " << result.error << "\n";
        return exit_damaged;
    }
    const sp::PlotData plot = plot_of(a, r, result, a.mic < 0 ? -1 : static_cast<int>(at - micros.begin()));
    const sp::Peak peak = a.third_octave ? sp::peak_of(plot.lines, plot.levels)
                                         : sp::tone_peak(plot.lines, result.unit, a.a_weighting);
    const std::string which =
        a.mic < 0 ? "moyenne de " + std::to_string(micros.size()) + " micros" : "micro " + std::to_string(a.mic);
    out << "Spectre : " << r.dat_path << ", " << grouped(result.frames) << " trames, " << which << "\n";
    const SonivarACQ32::stream::FrameRange range = frame_range(r, request.from_s, request.to_s);
    const double rate = r.header.freq;
    const std::vector<std::string> title = {
        "Spectre de " + std::filesystem::path(r.dat_path).filename().string() + ", " + which,
        "De " + decimal(static_cast<double>(range.first) / rate, 2) + " s à " +
            decimal(static_cast<double>(range.end) / rate, 2) + " s (" + grouped(result.frames) + " trames)" +
            (a.third_octave ? ", tiers d'octave" : ", raies fines") + (a.a_weighting ? ", pondération A" : "")};
    if (is_silence(peak.level_db, result.unit))
        out << "Pic : silence\n";
    else
        out << "Pic : " << french_grouped(peak.frequency, 0) << " Hz, " << decimal(peak.level_db, 1) << " "
            << plot.unit << "\n";
    say_left_out(out, result.non_finite);
    return write_outputs(a, files, plot, result.unit, title, out, err);
}

} // namespace sonivar_dat
