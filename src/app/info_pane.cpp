#include "app/info_pane.h"

namespace SonivarACQ32::pane {

QString shown(const QString& text, qsizetype last_line_length)
{
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    if (last_line_length >= max_line && !plain.isEmpty() && !plain.startsWith(QLatin1Char('\n')))
        plain.prepend(QLatin1Char('\n'));
    return plain;
}

} // namespace SonivarACQ32::pane
