#pragma once
// Qt Multimedia set up for the program, before its first use: the backend
// that drives V4L2 cameras itself (FFmpeg's, the default of later Qt
// versions; the one Debian 12 ships as default needs GStreamer plug-ins the
// program does not otherwise use), unless the user chose one; and its
// debugging lines (file descriptors, formats, printed on every camera
// start) kept off the terminal.
namespace SonivarACQ32::platform {

void prepare_multimedia();

} // namespace SonivarACQ32::platform
