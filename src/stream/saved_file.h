#pragma once
// A file the windows save (a picture, a calibration, a sound): written under
// a temporary name in its folder and renamed over its name once whole, so
// that a failure (a full disk) leaves the former file, or none; never onto
// a file the window reads.
#include "stream/input_file.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace SonivarACQ32::stream {

// The file a save at `path` replaces: the one a link names, else `path`.
QString save_target(const QString& path);
// Why nothing may be saved at `path`: it names one of `reads`, however it is
// spelled, or a special file. Empty when it may.
QString save_refusal(const QString& path, const std::vector<FileIdentity>& reads);

// Why `bytes` could not be saved at `path` (French, with the system's
// reason); empty when saved. A path that names one of `reads`, however it
// is spelled, or a special file is refused and nothing is written.
QString save_whole(const QString& path, const QByteArray& bytes, const std::vector<FileIdentity>& reads = {});

} // namespace SonivarACQ32::stream
