#pragma once
// A recording's blocks for a spectrogram: block_frames frames of its
// microphones from anywhere in a stretch, decoded with their factors.
#include "spectrum/spectrogram.h"
#include "stream/recording.h"
#include "stream/recording_slice.h"
#include "stream/samples.h"

namespace SonivarACQ32::spectrum {

// Reads each block apart (its own file reader), so that several threads
// may read at once.
BlockReader recording_blocks(const stream::Recording& recording, stream::FrameRange range,
                             const stream::Calibration& factors);

} // namespace SonivarACQ32::spectrum
