#pragma once
// Names of the three files of a recording. The header and description files
// take the data file's name with every ".dat" of the file name replaced by
// ".Zv" or ".log"; the folders of the path are never touched, so a folder
// such as "mesures.data" stays what it is.
#include <QString>

namespace SonivarACQ32 {

// The data file's path as it will be created: a file name without any
// ".dat" gets ".dat" appended, so that the companions never share its path.
QString data_file_path(const QString& chosen);

// The companion of `data_path` whose extension replaces ".dat" (".Zv" or
// ".log") in the file name only. `data_path` must come from data_file_path.
QString companion_path(const QString& data_path, const QString& extension);

// The save dialog's filter: data files only.
inline const QString data_file_filter = QStringLiteral("data (*.dat)");

} // namespace SonivarACQ32
