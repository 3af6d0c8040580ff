#include "recording_map.h"

#include "cli.h"
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

// The request's range of the recording, decoded with its factors block by
// block into cross-spectra or a beamformer already configured (the frames
// after the last whole FFT block of one read carried into the next);
// `frames` the range's length.
template <class Blocks>
std::string read_range(const Recording& r, const MapRequest& request, Blocks& into, std::uint64_t& frames,
                       std::uint64_t& non_finite, Progress& progress)
{
    if (!words_of(r.layout, r.layout.micros))
        return "voies de l'enregistrement illisibles";
    const Calibration factors = sample_factors(request.calibration, r.header.type_float != 0);
    const std::size_t channels = r.layout.micros.size();
    const FrameRange range = frame_range(r, request.from_s, request.to_s);
    frames = range.frames();
    FrameBlocks blocks(r, range, std::max<std::size_t>(am::block_frames, read_block_bytes / r.layout.frame_bytes()));
    std::vector<float> pending;
    while (blocks.next()) {
        const std::vector<float>& samples = blocks.samples(factors);
        pending.insert(pending.end(), samples.begin(), samples.end());
        const std::size_t added = into.add_frames(pending.data(), pending.size() / channels);
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(added * am::hop_frames * channels));
        progress.update(blocks.first() + blocks.frames());
    }
    non_finite = blocks.non_finite();
    return blocks.error();
}

// The map's blocks, and the zones' spectra's over all their bands: both
// take the same whole blocks.
struct MapAndZoneSpectra {
    am::Beamformer& map;
    am::CrossSpectra* wide;
    std::size_t add_frames(const float* frames, std::size_t count)
    {
        if (wide != nullptr)
            wide->add_frames(frames, count);
        return map.add_frames(frames, count);
    }
};

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
        why = outputs_refusal(*loaded.recording, outputs, {geometry_path, calib_path});
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
    am::CrossSpectra wide;
    if (request.zone_spectrum)
        wide.configure(static_cast<int>(r.layout.micros.size()), am::zone_spectrum_bins(sampling_rate_hz(r.header)));
    MapAndZoneSpectra into{beamformer, request.zone_spectrum ? &wide : nullptr};
    result.error = read_range(r, request, into, result.frames, result.non_finite, progress);
    if (result.error.empty() && !beamformer.compute(result.map))
        result.error = beamformer.spectra().has_average() ? beamformer.why_no_map() : too_short() + " : pas de carte";
    if (result.error.empty() && !request.zones.empty()) {
        am::ZoneMeter meter;
        meter.set(beamformer.zone_setting(), beamformer.steering());
        result.zone_powers = meter.powers(beamformer.powers(), beamformer.spectra(), request.zones);
    }
    if (result.error.empty() && request.zone_spectrum && wide.fold(0.0))
        result.zone_spectrum = am::zone_spectrum(wide, beamformer.zone_setting(), request.zones, settings.a_weighted);
    return result;
}

void say_left_out(std::ostream& out, std::uint64_t non_finite)
{
    if (non_finite > 0)
        out << "Échantillons non numériques ou démesurés (NaN, infinis, plus d'un million de fois la pleine "
               "échelle ou de pascals) laissés de côté comme silence : "
            << grouped(non_finite) << "\n";
}

SpectrumResult spectrum_of_recording(const Recording& r, const MapRequest& request, Progress& progress)
{
    SpectrumResult result;
    result.unit = unit_of(request.calibration);
    am::CrossSpectra spectra;  // the auto-spectra alone: an empty band
    result.error = sampling_rate_hz(r.header) > 0.0
                       ? spectra.configure(static_cast<int>(r.layout.micros.size()), am::Bins{})
                       : "Fréquence d'échantillonnage inconnue";
    if (!result.error.empty())
        return result;
    result.error = read_range(r, request, spectra, result.frames, result.non_finite, progress);
    if (result.error.empty() && !spectra.fold(request.settings.smoothing))
        result.error = too_short() + " : pas de spectre";
    result.auto_spectra = spectra.auto_spectra();
    return result;
}

} // namespace sonivar_dat
