#pragma once
// The toolkit reads recordings through the program's own stream library
// (frame layout, frame decoding, the recording and its data reader), so the
// two read a frame the same way.
#include "stream/dat_reader.h"
#include "stream/frame_blocks.h"
#include "stream/frame_layout.h"
#include "stream/french_text.h"
#include "stream/gather.h"
#include "stream/header_facts.h"
#include "stream/input_file.h"
#include "stream/levels.h"
#include "stream/calibration_file.h"
#include "stream/recording.h"
#include "stream/recording_slice.h"

namespace sonivar_dat {
using namespace SonivarACQ32::stream;
} // namespace sonivar_dat
