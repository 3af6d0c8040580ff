#pragma once
// What a header record says, checked and spelled out: the values a reader
// relies on are refused when no acquisition could have written them.
#include "recording/header_record.h"

#include <optional>
#include <string>

namespace SonivarACQ32::stream {

// Why the record cannot describe a recording (French, naming the field and
// its value); empty when every field a reader uses is sound.
std::string header_fault(const SonivarACQ32::type_header_file& header);

// The unit's sampling clock for a recorded frequency: the base rate divided
// by the whole divisor the frequency was truncated from (41 666 recorded is
// 500 000 / 12 = 41 666.666... Hz). nullopt when the recorded value is not
// such a truncation.
std::optional<double> unit_clock_hz(float recorded);

// The clock to analyse the samples with: the unit's exact clock, or the
// recorded value when it is not one of the unit's.
double sampling_rate_hz(const SonivarACQ32::type_header_file& header);

// "int32" or "float32", as the description file names the sample type.
const char* sample_type_name(const SonivarACQ32::type_header_file& header);

// The start of the acquisition in ISO 8601, local time: 2024-03-14T10:22:05.250.
std::string start_time_iso(const SonivarACQ32::type_header_file& header);

} // namespace SonivarACQ32::stream
