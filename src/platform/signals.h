#pragma once
// Process-wide signal settings the program relies on.

namespace SonivarACQ32::platform {

// A write past the file-size limit (ulimit -f) then fails with EFBIG and the
// run ends on its short write, instead of the process being killed by
// SIGXFSZ with its recording half written. No-op where the signal does not
// exist.
void ignore_file_size_signal();

} // namespace SonivarACQ32::platform
