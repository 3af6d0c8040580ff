#pragma once
// The information pane's bounds. The pane keeps only its newest text, and
// no line of it grows without end: in advanced mode every completed transfer
// adds " N " to one line, and the pane lays out the whole line again at each
// addition, so a line of the whole run would cost more and more.
#include <QString>

#include <algorithm>

namespace SonivarACQ32::pane {

constexpr qsizetype max_chars = 60000;  // older text is dropped beyond this
constexpr qsizetype max_line = 1000;    // a longer line goes on in a new one

// Characters to drop from the front of a text of `length` characters so
// that its last max_chars remain.
constexpr qsizetype excess(qsizetype length) { return std::max<qsizetype>(0, length - max_chars); }

// What the pane shows of `text` when its last line already holds
// `last_line_length` characters: plain line feeds, preceded by one when that
// line is full and the text would lengthen it.
QString shown(const QString& text, qsizetype last_line_length);

} // namespace SonivarACQ32::pane
