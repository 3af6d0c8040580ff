#pragma once
// The comment's length limit, the size of the header record's field. The comment is saved with CR LF line breaks,
// so a line break counts two characters against the 1024 the header record
// holds; typing or pasting past the limit keeps only what fits.
#include <cstddef>
#include <string_view>

namespace SonivarACQ32 {

constexpr std::size_t taille_commentaire = 1024;  // bytes of the header field

inline bool is_line_break(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

inline std::size_t comment_length(std::u16string_view text)
{
    std::size_t length = 0;
    for (char16_t c : text)
        length += (c == u'\r') ? 0 : (is_line_break(c) ? 2 : 1);
    return length;
}

// How many characters must go from the end of the range just inserted,
// [end - inserted, end), for the text to fit the limit. Never splits a
// surrogate pair.
inline std::size_t comment_excess(std::u16string_view text, std::size_t end, std::size_t inserted)
{
    std::size_t length = comment_length(text);
    std::size_t cut = 0;
    if (end > text.size())
        end = text.size();
    if (inserted > end)
        inserted = end;
    while (length > taille_commentaire && cut < inserted) {
        ++cut;
        length -= comment_length(text.substr(end - cut, 1));
    }
    // A low surrogate left without its high half would be a broken character.
    const bool split = cut > 0 && cut < end && (text[end - cut - 1] & 0xFC00) == 0xD800;
    return split && cut < inserted ? cut + 1 : cut;
}

} // namespace SonivarACQ32
