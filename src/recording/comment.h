#pragma once
// The operator's comment: the padded string kept for the description file
// and the 1024-byte field of the header record.
#include "recording/comment_limit.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace SonivarACQ32 {

// The comment box's text with each line break as CR LF, whatever form the
// text box gives it in.
QString comment_with_crlf(const QString& box_text);

// The comment as kept: the text followed by spaces up to 1023 characters
// (UTF-16 units, as the text box counts them); a longer text is kept whole.
QString padded_comment(const QString& text);

// The header record's comment field: the Windows-1252 form of `commentaire`
// with a terminating NUL, cut to its first 1024 bytes. A text that converts
// to fewer bytes leaves the rest of the field zero.
std::array<std::uint8_t, taille_commentaire> comment_field(const QString& commentaire);

} // namespace SonivarACQ32
