#include "recording/comment.h"

#include "platform/ansi.h"

#include <algorithm>

namespace SonivarACQ32 {

QString comment_with_crlf(const QString& box_text)
{
    QString text = box_text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // The box's raw text separates paragraphs with U+2029, and lines broken
    // with Shift+Enter with U+2028.
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString padded_comment(const QString& text)
{
    constexpr qsizetype padded_length = taille_commentaire - 1;
    if (text.size() >= padded_length)
        return text;
    return text + QString(padded_length - text.size(), QLatin1Char(' '));
}

std::array<std::uint8_t, taille_commentaire> comment_field(const QString& commentaire)
{
    std::string ansi = platform::to_windows1252(commentaire.toStdU32String());
    ansi.push_back('\0');
    std::array<std::uint8_t, taille_commentaire> field{};
    const std::size_t n = std::min(ansi.size(), field.size());
    std::copy_n(reinterpret_cast<const std::uint8_t*>(ansi.data()), n, field.begin());
    return field;
}

} // namespace SonivarACQ32
