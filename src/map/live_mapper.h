#pragma once
// The live map's computation, apart from any thread or window: pieces of
// the run's stream come in, maps go out. Contiguous pieces are read as one
// stream (a frame cut between two transfers is not lost); a piece of a new
// run starts every average afresh. When pieces wait, only the newest is
// mapped: with the mean over packets on, the others are folded into the
// average first; either way they count as skipped.
#include "map/beamformer.h"
#include "map/geometry.h"
#include "stream/frame_layout.h"
#include "stream/levels.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

// A piece of the stream as the mapper keeps it (its own copy of the bytes).
struct StreamPiece {
    std::vector<unsigned char> bytes;
    std::uint64_t stream_position = 0;
    std::uint64_t run = 0;
};

// Everything a map depends on but the data.
struct MapJob {
    Settings settings;
    Geometry geometry;
    stream::FrameLayout layout;
    double sample_rate = 0.0;
    // Pascal per count of each microphone; without it, levels in dBFS.
    std::optional<stream::Calibration> calibration;
    // The auto-spectra of every acquired microphone, and no map.
    bool spectra_only = false;
};

struct MapOutcome {
    bool valid = false;
    Map map;
    Settings settings;         // those the map was made with
    std::string status;        // why there is no map (French), empty otherwise
    std::uint64_t mapped = 0;  // pieces that got a map of their own
    std::uint64_t skipped = 0; // pieces that did not
    // For a job of spectra only: every microphone's auto-spectrum
    // (microphones x bins, powers in the unit's square), and the rate.
    std::vector<double> auto_spectra;
    int microphones = 0;
    double sample_rate = 0.0;
    std::size_t blocks = 0;  // FFT blocks behind this outcome's new data
    // Where the data mapped starts in its stream (for a recording's
    // stretch, its first byte in the data file).
    std::uint64_t stream_position = 0;
};

class LiveMapper {
public:
    // The settings, geometry or run changed: the next map is made with them.
    void set_job(const MapJob& job);
    // Maps the newest of `pieces` (oldest first) and counts the others as
    // skipped; the pieces' bytes may be reused by the caller afterwards.
    MapOutcome map(std::vector<StreamPiece>& pieces);
    // The last piece mapped again, with the job in force (a setting
    // changed while no data comes).
    MapOutcome remap();
    // A stretch of a recording, read from its file, mapped on its own as the
    // piece of run `run`; it becomes the last piece.
    MapOutcome map_slice(const stream::FileSlice& slice, std::uint64_t run);

private:
    bool configure();
    std::size_t add_piece(const StreamPiece& piece);
    MapOutcome outcome(std::uint64_t mapped, std::uint64_t skipped);
    MapOutcome refused(std::uint64_t skipped) const;  // the job makes no map: why

    MapJob job_;
    stream::Calibration factors_;  // as the samples become floats
    bool configured_ = false;
    std::string problem_;
    Beamformer beamformer_;
    std::uint64_t run_ = 0;
    // The frames not yet used by a whole block, as raw bytes, and where
    // they stand in the stream.
    std::vector<unsigned char> carry_;
    std::uint64_t carry_position_ = 0;
    std::vector<unsigned char> joined_;
    std::vector<float> frames_;
    StreamPiece last_;
    std::size_t blocks_ = 0;  // added since the last outcome
};

} // namespace SonivarACQ32::acoustic_map
