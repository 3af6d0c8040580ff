#include "platform/ansi.h"

#include <gtest/gtest.h>

using SonivarACQ32::platform::to_windows1252;

TEST(Windows1252, KeepsAsciiAndLatin1AndMapsTheHighBlock)
{
    EXPECT_EQ(to_windows1252(U"abc 123\r\n"), "abc 123\r\n");
    EXPECT_EQ(to_windows1252(U"é"), "\xE9");
    EXPECT_EQ(to_windows1252(U"\u20AC\u0153\u2019"), "\x80\x9C\x92");
}

TEST(Windows1252, CharactersItLacksBecomeQuestionMarks)
{
    EXPECT_EQ(to_windows1252(U"\u03A9\u4E2D\U0001F600"), "???");
}

// Every byte read back as its character writes back as the same byte.
TEST(Windows1252, EveryByteRoundTrips)
{
    using SonivarACQ32::platform::from_windows1252;
    for (int b = 0; b < 256; ++b) {
        const std::u32string one(1, from_windows1252(static_cast<unsigned char>(b)));
        EXPECT_EQ(to_windows1252(one), std::string(1, static_cast<char>(b))) << b;
    }
}
