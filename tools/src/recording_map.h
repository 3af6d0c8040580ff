#pragma once
// The acoustic map of a recording's frames from..to: the cross-spectral
// matrices averaged over every block of the range.
#include "stream_reader.h"

#include "map/beamformer.h"
#include "map/geometry.h"
#include "map/zone_spectrum.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace sonivar_dat {

class Progress;

struct MapRequest {
    SonivarACQ32::acoustic_map::Settings settings;
    // Pascal per count of each microphone; without it, levels in dBFS.
    std::optional<SonivarACQ32::stream::Calibration> calibration;
    double from_s = 0.0;
    double to_s = -1.0;  // negative: to the end of the recording
    std::vector<SonivarACQ32::acoustic_map::Zone> zones;  // measured on the map
    bool zone_spectrum = false;  // and their third-octave spectra
};

struct MapResult {
    SonivarACQ32::acoustic_map::Map map;
    std::uint64_t frames = 0;  // frames of the range
    std::uint64_t non_finite = 0;  // samples that were no number, left out as silence
    std::string error;         // French; empty on success
    bool bad_request = false;  // the settings make no map at the recording's rate
    std::vector<double> zone_powers;  // the sources' power of each zone, in the request's order
    SonivarACQ32::acoustic_map::ZoneSpectrum zone_spectrum;  // when asked
};

// The microphones of the recording placed by `geometry`, in their channel order.
std::vector<SonivarACQ32::acoustic_map::Position> placed_micros(
    const Recording& recording, const SonivarACQ32::acoustic_map::Geometry& geometry);

struct SpectrumResult {
    // Every microphone's auto-spectrum, in the recording's channel order
    // (microphones x bins), powers in the unit's square.
    std::vector<double> auto_spectra;
    SonivarACQ32::stream::LevelUnit unit = SonivarACQ32::stream::LevelUnit::dbfs;
    std::uint64_t frames = 0;
    std::uint64_t non_finite = 0;  // samples that were no number, left out as silence
    std::string error;
};

// "Échantillons non numériques … : N" when a float recording held words
// that are no number (left out as silence); nothing otherwise.
void say_left_out(std::ostream& out, std::uint64_t non_finite);

// The auto-spectra of every microphone over the request's range (its
// settings' smoothing and band play no part).
SpectrumResult spectrum_of_recording(const Recording& recording, const MapRequest& request, Progress& progress);

// What map and listen read besides their options: the recording, the
// array's geometry and, when a file is named, the calibration.
struct MapInputs {
    Recording recording;
    SonivarACQ32::acoustic_map::Geometry geometry;
    std::optional<SonivarACQ32::stream::Calibration> calibration;
};

// Reads them; nullopt with the reason written on `err` when one cannot be
// read or one of `outputs` cannot be written without harm (a file of the
// recording, a special file, two outputs on one file).
std::optional<MapInputs> read_map_inputs(const std::string& dat_path, const std::string& geometry_path,
                                         const std::string& calib_path, const std::vector<std::string>& outputs,
                                         std::ostream& err);

MapResult map_recording(const Recording& recording,
                        const SonivarACQ32::acoustic_map::Geometry& geometry,
                        const MapRequest& request, Progress& progress);

} // namespace sonivar_dat
