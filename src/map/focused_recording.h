#pragma once
// A recording listened to at one point: its frames read from the data file
// piece by piece, decoded with the microphones' factors and focused
// (focus.h), so that memory stays the same whatever the length.
#include "map/focus.h"
#include "stream/frame_blocks.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"

#include <functional>
#include <string>

namespace SonivarACQ32::acoustic_map {

// Receives each run of focused samples; false stops the reading.
using FocusedSamples = std::function<bool(const float* samples, std::size_t count)>;

// The focused signal of `range` (frames of the recording, read a little
// past its end when the file allows, so that every frame of the range gives
// a sample). Returns why it stopped early (French), empty otherwise.
std::string focus_recording(const stream::Recording& recording, const Geometry& geometry,
                            const Position& point, const stream::Calibration& factors,
                            stream::FrameRange range, const FocusedSamples& take);

// The point's sound from anywhere in `range`, each stretch focused apart
// (the focusing reads the few frames past it its delays need), one
// channel. The recording and the geometry must outlive the reader.
stream::BlockReader focused_blocks(const stream::Recording& recording, const Geometry& geometry, const Position& point,
                                   stream::FrameRange range, const stream::Calibration& factors);

} // namespace SonivarACQ32::acoustic_map
