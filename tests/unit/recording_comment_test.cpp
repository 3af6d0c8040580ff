#include "recording/comment.h"

#include <gtest/gtest.h>

#include <string>

using namespace SonivarACQ32;

namespace {

std::string field_string(const QString& commentaire)
{
    const auto field = comment_field(commentaire);
    return std::string(reinterpret_cast<const char*>(field.data()), field.size());
}

} // namespace

TEST(Comment, LineBreaksCountAsCarriageReturnAndLineFeed)
{
    EXPECT_EQ(comment_with_crlf(QStringLiteral("a\nb\n")), QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(comment_with_crlf(QStringLiteral("a\r\nb")), QStringLiteral("a\r\nb"));
    EXPECT_EQ(comment_with_crlf(QStringLiteral("a") + QChar(QChar::ParagraphSeparator) +
                                QStringLiteral("b")),
              QStringLiteral("a\r\nb"));
    EXPECT_EQ(comment_with_crlf(QStringLiteral("a") + QChar(QChar::LineSeparator) +
                                QStringLiteral("b\rc")),
              QStringLiteral("a\r\nb\r\nc"));
    // Two characters each, so the padding is four characters shorter.
    const QString padded = padded_comment(comment_with_crlf(QStringLiteral("x\ny\nz")));
    EXPECT_EQ(padded.size(), 1023);
    EXPECT_TRUE(padded.startsWith(QStringLiteral("x\r\ny\r\nz ")));
    EXPECT_EQ(padded.count(QLatin1Char(' ')), 1023 - 7);
}

TEST(Comment, PaddingAndTerminatorByLength)
{
    struct Case {
        int length;          // characters typed
        int padded_length;   // of commentaire
        bool nul_last;       // the field's last byte is the terminator
    };
    const Case cases[] = {{0, 1023, true}, {1, 1023, true}, {1022, 1023, true},
                          {1023, 1023, true}, {1024, 1024, false}, {1500, 1500, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const QString typed(c.length, QLatin1Char('k'));
        const QString commentaire = padded_comment(typed);
        EXPECT_EQ(commentaire.size(), c.padded_length);
        EXPECT_TRUE(commentaire.startsWith(typed));

        const std::string field = field_string(commentaire);
        ASSERT_EQ(field.size(), 1024u);
        const int text_bytes = std::min(c.length, 1024);
        EXPECT_EQ(field.substr(0, text_bytes), std::string(text_bytes, 'k'));
        if (c.nul_last) {
            EXPECT_EQ(field.substr(text_bytes, 1023 - text_bytes), std::string(1023 - text_bytes, ' '));
            EXPECT_EQ(field[1023], '\0');
        } else {
            EXPECT_EQ(field.find('\0'), std::string::npos);
        }
    }
}

TEST(Comment, FieldIsWindows1252WithQuestionMarksForWhatItLacks)
{
    const QString commentaire = padded_comment(QStringLiteral("Mesure à 20 °C, 5 € – Ω"));
    const std::string field = field_string(commentaire);
    const std::string expected_text = "Mesure \xE0 20 \xB0" "C, 5 \x80 \x96 ?";
    EXPECT_EQ(field.substr(0, expected_text.size()), expected_text);
    // One byte per character: the padding still ends at byte 1022.
    EXPECT_EQ(field[1022], ' ');
    EXPECT_EQ(field[1023], '\0');
}
