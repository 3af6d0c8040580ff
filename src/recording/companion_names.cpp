#include "recording/companion_names.h"

namespace SonivarACQ32 {
namespace {

const QString dat_extension = QStringLiteral(".dat");

// Index of the first character of the file name: after the last separator.
qsizetype file_name_start(const QString& path)
{
    return path.lastIndexOf(QLatin1Char('/')) + 1;
}

} // namespace

QString data_file_path(const QString& chosen)
{
    if (chosen.mid(file_name_start(chosen)).contains(dat_extension))
        return chosen;
    return chosen + dat_extension;
}

QString companion_path(const QString& data_path, const QString& extension)
{
    const qsizetype start = file_name_start(data_path);
    QString name = data_path.mid(start);
    name.replace(dat_extension, extension);
    return data_path.left(start) + name;
}

} // namespace SonivarACQ32
