#pragma once
// Calibration files in the format the field's Python tools read: XML whose
// <pos Name="..." factor="..."/> elements, in document order, give each
// channel's factor (any root element, decimal point). Here the channels are
// the array's 32 microphones in global index order, and a factor is in
// pascal per int32 count (a float32 sample s counts as s x 2^31).
#include "stream/samples.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace SonivarACQ32::stream {

struct CalibrationResult {
    std::optional<Calibration> calibration;
    std::string error;  // French, for the operator, when there is none
};

CalibrationResult parse_calibration(std::string_view xml);
// The calibration of a file; the error names the file.
CalibrationResult read_calibration(const std::string& path);
// The file's text for `calibration`, one <pos> per microphone; `name` goes
// on the root element.
std::string calibration_xml(const Calibration& calibration, const std::string& name);
// The same for any channels: one <pos> per factor, in order.
std::string calibration_xml(const std::vector<double>& factors, const std::string& name);

} // namespace SonivarACQ32::stream
