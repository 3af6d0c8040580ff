#pragma once
// Where the file dialogs open: the folder of the last file of the same kind
// the operator chose, kept between sessions; a recording's folder for what
// is made from recordings, the home folder before anything was chosen.
#include <QString>

namespace SonivarACQ32::platform {

enum class FileKind { recordings, calibrations, geometries, photos, exports };

QString folder_for(FileKind kind);
// `path` (a file chosen, to open or to write) gives its kind's folder.
void remember_folder(FileKind kind, const QString& path);

} // namespace SonivarACQ32::platform
