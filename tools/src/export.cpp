#include "export.h"

#include "stream_reader.h"
#include "output_file.h"
#include "progress.h"
#include "sinks.h"

#include "map/geometry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <charconv>
#include <cmath>

namespace sonivar_dat {
namespace {

std::optional<int> index_of(std::string_view text)
{
    int v = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 0 || v > 1023)
        return std::nullopt;
    return v;
}

struct Outputs {
    OutputFile wav_file, hdf5_file, calibration_file;
    WavSink wav;
    Hdf5Sink hdf5;
    bool with_wav = false;
    bool with_hdf5 = false;
};

// Nothing is created until every output has been found acceptable.
std::string refusal(const Recording& r, const ExportRequest& request)
{
    const auto inputs = read_files(r, {request.geometry_path, request.calibration_path});
    const std::string calibration = calibration_output(request);
    for (const std::string* path : {&request.wav_path, &request.hdf5_path, &calibration})
        if (!path->empty())
            if (std::string why = output_refusal(*path, inputs); !why.empty())
                return why;
    if (!request.wav_path.empty() && !request.hdf5_path.empty() &&
        same_destination(request.wav_path, request.hdf5_path))
        return "--wav et --hdf5 nomment le même fichier : " + request.wav_path;
    for (const std::string* path : {&request.wav_path, &request.hdf5_path})
        if (!calibration.empty() && !path->empty() && same_destination(*path, calibration))
            return "l'étalonnage écrit à côté de l'export serait " + *path + " lui-même";
    return {};
}

// Each exported column's factor in pascal per unit of the exported data
// (a float32 sample s counts as s x 2^31); empty with `error` set when the
// file cannot be read.
std::vector<double> column_factors(const ExportRequest& request, const Recording& r, const std::vector<int>& micros,
                                   std::string& error)
{
    if (request.calibration_path.empty())
        return {};
    const CalibrationResult read = read_calibration(request.calibration_path);
    if (!read.calibration) {
        error = read.error;
        return {};
    }
    const double counts_per_unit = r.header.type_float != 0 ? int32_full_scale : 1.0;
    std::vector<double> factors;
    for (int m : micros)
        factors.push_back(per_count_factor(read.calibration, m) * counts_per_unit);
    return factors;
}

bool write_calibration(Outputs& out, const std::string& path, const std::vector<double>& factors,
                       std::string& error)
{
    if (!out.calibration_file.create(path, error))
        return false;
    std::ofstream file(out.calibration_file.temp_path(), std::ios::binary);
    file << calibration_xml(factors, std::filesystem::path(path).stem().stem().string());
    file.flush();
    if (!file) {
        error = "écriture impossible de " + path;
        return false;
    }
    return true;
}

Hdf5Facts facts_of(const Recording& r, const std::vector<int>& micros)
{
    return {sampling_rate_hz(r.header), micros, sample_type_name(r.header), recording_comment(r),
            start_time_iso(r.header)};
}

bool open_outputs(Outputs& out, const Recording& r, const ExportRequest& request,
                  const std::vector<int>& micros, ExportResult& result)
{
    const bool samples_are_float = r.header.type_float != 0;
    out.with_wav = !request.wav_path.empty();
    out.with_hdf5 = !request.hdf5_path.empty();
    result.rf64 = out.with_wav && wav_needs_rf64(result.frames, result.channels);
    // A WAV holds a whole number of hertz: the nearest to the unit's clock.
    const int rate = static_cast<int>(std::lround(sampling_rate_hz(r.header)));
    std::string e;
    if (out.with_wav) {
        if (!out.wav_file.create(request.wav_path, result.error))
            return false;
        if (!out.wav.open(out.wav_file.temp_path(), result.channels, rate, samples_are_float,
                          result.rf64, e)) {
            result.error = "WAV " + request.wav_path + " : " + e;
            return false;
        }
    }
    if (out.with_hdf5) {
        if (!out.hdf5_file.create(request.hdf5_path, result.error))
            return false;
        if (!out.hdf5.open(out.hdf5_file.temp_path(), result.frames, facts_of(r, micros), e)) {
            result.error = "HDF5 " + request.hdf5_path + " : " + e;
            return false;
        }
    }
    return true;
}

// x, y, z of each exported microphone, row after row; empty when no geometry
// was asked for (`error` set when the geometry cannot be read).
std::vector<double> positions_of(const std::string& path, const std::vector<int>& micros,
                                 std::string& error)
{
    std::vector<double> xyz;
    if (path.empty())
        return xyz;
    const auto g = SonivarACQ32::acoustic_map::read_geometry(path);
    if (!g.geometry) {
        error = g.error;
        return xyz;
    }
    for (int m : micros) {
        if (static_cast<std::size_t>(m) >= g.geometry->positions.size()) {
            error = "géométrie sans position pour le micro " + std::to_string(m);
            return {};
        }
        const auto& p = g.geometry->positions[m];
        xyz.insert(xyz.end(), {p.x, p.y, p.z});
    }
    return xyz;
}

// Hands the recording's whole frames to the outputs block by block.
void copy_frames(FrameBlocks& blocks, Outputs& out, const Recording& r, const ExportRequest& request,
                 const std::vector<int>& words, ExportResult& result, Progress& progress)
{
    const std::size_t nv = static_cast<std::size_t>(r.layout.nb_voies);
    const bool samples_are_float = r.header.type_float != 0;
    std::vector<std::uint32_t> wav_rows;
    std::vector<float> hdf5_rows;
    std::string e;
    while (blocks.next()) {
        const std::size_t count = blocks.frames();
        if (out.with_wav) {
            wav_rows.resize(count * words.size());
            gather_words(blocks.words(), count, nv, words, wav_rows.data());
            if (!out.wav.write(wav_rows.data(), count, e)) {
                result.error = "WAV " + request.wav_path + " : " + e;
                return;
            }
        }
        if (out.with_hdf5) {
            hdf5_rows.resize(count * words.size());
            gather_as_float(blocks.words(), count, nv, words, samples_are_float, hdf5_rows.data());
            if (!out.hdf5.write(hdf5_rows.data(), count, e)) {
                result.error = "HDF5 " + request.hdf5_path + " : " + e;
                return;
            }
        }
        progress.update(blocks.first() + count);
    }
    if (!blocks.error().empty())
        result.error = blocks.error() + " : " + r.dat_path;
}

// Closes both files, then gives them their names only when both are whole.
void finish(Outputs& out, const ExportRequest& request, ExportResult& result)
{
    std::string e;
    if (out.with_wav && !out.wav.close(e) && result.error.empty())
        result.error = "WAV " + request.wav_path + " : " + e;
    if (out.with_hdf5 && !out.hdf5.close(e) && result.error.empty())
        result.error = "HDF5 " + request.hdf5_path + " : " + e;
    if (!result.error.empty())
        return;  // the temporary files go with `out`
    if (out.with_wav && !out.wav_file.commit(result.error))
        return;
    if (out.with_hdf5 && !out.hdf5_file.commit(result.error))
        return;
    if (!result.calibration_path.empty())
        out.calibration_file.commit(result.error);
}

} // namespace

std::string calibration_output(const ExportRequest& request)
{
    if (request.calibration_path.empty())
        return {};
    std::filesystem::path beside(request.hdf5_path.empty() ? request.wav_path : request.hdf5_path);
    return beside.replace_extension(".calib.xml").string();
}

std::optional<std::vector<int>> parse_channel_list(std::string_view text, std::string& error)
{
    std::vector<int> micros;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t dash = item.find('-');
        const auto first = index_of(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : index_of(item.substr(dash + 1));
        if (!first || !last || *last < *first) {
            error = "liste de micros illisible : \"" + std::string(item) + "\"";
            return std::nullopt;
        }
        for (int m = *first; m <= *last; ++m)
            micros.push_back(m);
    }
    if (micros.empty()) {
        error = "liste de micros vide";
        return std::nullopt;
    }
    std::sort(micros.begin(), micros.end());
    micros.erase(std::unique(micros.begin(), micros.end()), micros.end());
    return micros;
}

ExportResult export_recording(const Recording& r, const ExportRequest& request, Progress& progress)
{
    ExportResult result;
    const std::vector<int>& wanted = request.micros.empty() ? r.layout.micros : request.micros;
    const auto words = words_of(r.layout, wanted);
    if (!words) {
        result.error = "un des micros demandés n'a pas été enregistré";
        return result;
    }
    if (words->empty()) {
        result.error = "aucun micro enregistré : rien à exporter";
        return result;
    }
    if (result.error = refusal(r, request); !result.error.empty()) {
        result.refused = true;
        return result;
    }
    result.channels = words->size();
    result.frames = r.dat_bytes / r.layout.frame_bytes();

    const std::vector<double> positions =
        request.hdf5_path.empty() ? std::vector<double>{}
                                  : positions_of(request.geometry_path, wanted, result.error);
    const std::vector<double> factors = column_factors(request, r, wanted, result.error);
    if (!result.error.empty()) {
        result.refused = true;  // a geometry or a calibration that cannot be read: exit 2
        return result;
    }
    FrameBlocks blocks(r, {0, result.frames});
    Outputs out;
    if (!blocks.open()) {
        result.error = blocks.error();
        return result;
    }
    if (!open_outputs(out, r, request, wanted, result) ||
        (!positions.empty() && !out.hdf5.add_positions(positions, result.error)) ||
        (!factors.empty() && out.with_hdf5 && !out.hdf5.add_calibration(factors, "Pa", result.error)) ||
        (!factors.empty() && !write_calibration(out, calibration_output(request), factors, result.error)))
        return result;
    result.calibration_path = calibration_output(request);
    copy_frames(blocks, out, r, request, *words, result, progress);
    finish(out, request, result);
    return result;
}

} // namespace sonivar_dat
