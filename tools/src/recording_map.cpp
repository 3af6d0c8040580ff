#include "recording_map.h"

#include "stream_reader.h"
#include "output_file.h"
#include "progress.h"

#include <algorithm>
#include <cmath>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;

std::vector<am::Position> placed_micros(const Recording& r, const am::Geometry& geometry)
{
    return am::placed_microphones(geometry, r.layout.micros);
}

namespace {

// Reads the range block by block into the beamformer; the frames after the
// last whole FFT block of one read are carried into the next.
std::string feed(DatReader& reader, am::Beamformer& beamformer, const Recording& r,
                 const std::vector<int>& words, const std::vector<float>& factors, FrameRange range,
                 Progress& progress)
{
    const std::size_t nv = static_cast<std::size_t>(r.layout.nb_voies);
    const std::size_t channels = words.size();
    const std::size_t block_frames = std::max<std::size_t>(am::block_frames, read_block_bytes / (4 * nv));
    std::vector<std::uint32_t> in(block_frames * nv);
    std::vector<float> pending;
    for (std::uint64_t at = range.first; at < range.end;) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(block_frames, range.end - at));
        if (reader.read(in.data(), count * nv * 4) != static_cast<long long>(count * nv * 4))
            return "erreur de lecture du fichier de données";
        const std::size_t kept = pending.size();
        pending.resize(kept + count * channels);
        gather_as_float(in.data(), count, nv, words, r.header.type_float != 0, pending.data() + kept,
                        factors.data());
        const std::size_t frames = pending.size() / channels;
        const std::size_t blocks = beamformer.add_frames(pending.data(), frames);
        pending.erase(pending.begin(), pending.begin() + blocks * am::hop_frames * channels);
        at += count;
        progress.update(at);
    }
    return {};
}

} // namespace

namespace {

// The request's range of the recording, decoded with its factors, into a
// beamformer already configured; `frames` the range's length.
std::string read_range(const Recording& r, const MapRequest& request, am::Beamformer& beamformer,
                       std::uint64_t& frames, Progress& progress)
{
    const auto words = words_of(r.layout, r.layout.micros);
    if (!words)
        return "voies de l'enregistrement illisibles";
    const Calibration all = sample_factors(request.calibration, r.header.type_float != 0);
    std::vector<float> factors;
    for (int m : r.layout.micros)
        factors.push_back(all.of(m));
    const FrameRange range = frame_range(r, request.from_s, request.to_s);
    frames = range.frames();
    DatReader reader;
    std::string error;
    if (!reader.open(r.dat_path, r.dat_bytes, error, range.first * r.layout.frame_bytes()))
        return error;
    return feed(reader, beamformer, r, *words, factors, range, progress);
}

std::string too_short() { return "moins de " + std::to_string(am::block_frames) + " trames dans l'intervalle"; }

} // namespace

std::optional<MapInputs> read_map_inputs(const std::string& dat_path, const std::string& geometry_path,
                                         const std::string& calib_path, const std::vector<std::string>& outputs,
                                         std::ostream& err)
{
    LoadResult loaded = load_recording(dat_path);
    const am::GeometryResult geometry = am::read_geometry(geometry_path);
    const CalibrationResult calib = calib_path.empty() ? CalibrationResult{} : read_calibration(calib_path);
    std::string why = !loaded.recording ? loaded.error : !geometry.geometry ? geometry.error
                      : !calib_path.empty() && !calib.calibration ? calib.error : std::string();
    if (why.empty())
        why = outputs_refusal(*loaded.recording, outputs);
    if (!why.empty()) {
        err << "sonivar-dat : " << why << "\n";
        return std::nullopt;
    }
    return MapInputs{std::move(*loaded.recording), std::move(*geometry.geometry), calib.calibration};
}

MapResult map_recording(const Recording& r, const am::Geometry& geometry, const MapRequest& request,
                        Progress& progress)
{
    MapResult result;
    am::Settings settings = request.settings;
    settings.unit = unit_of(request.calibration);
    am::Beamformer beamformer;
    result.error = beamformer.configure(placed_micros(r, geometry), sampling_rate_hz(r.header), settings);
    result.bad_request = !result.error.empty();
    if (!result.error.empty())
        return result;
    result.error = read_range(r, request, beamformer, result.frames, progress);
    if (result.error.empty() && !beamformer.compute(result.map))
        result.error = beamformer.spectra().has_average() ? beamformer.why_no_map() : too_short() + " : pas de carte";
    return result;
}

SpectrumResult spectrum_of_recording(const Recording& r, const MapRequest& request, Progress& progress)
{
    SpectrumResult result;
    result.unit = unit_of(request.calibration);
    am::Beamformer beamformer;
    result.error = beamformer.configure_spectra(static_cast<int>(r.layout.micros.size()), sampling_rate_hz(r.header),
                                                request.settings);
    if (!result.error.empty())
        return result;
    result.error = read_range(r, request, beamformer, result.frames, progress);
    if (result.error.empty() && !beamformer.fold_spectra())
        result.error = too_short() + " : pas de spectre";
    result.auto_spectra = beamformer.spectra().auto_spectra();
    return result;
}

} // namespace sonivar_dat
