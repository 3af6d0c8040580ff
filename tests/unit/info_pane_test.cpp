#include "app/info_pane.h"

#include <gtest/gtest.h>

namespace pane = SonivarACQ32::pane;

TEST(InfoPane, ShowsPlainLineFeedsAndStartsANewLineOnceOneIsFull)
{
    struct Row {
        const char* text;
        qsizetype last_line;
        const char* shown;
    };
    const Row rows[] = {
        {"Paquet : \r\n", 0, "Paquet : \n"},
        {" 12 ", pane::max_line - 1, " 12 "},
        {" 12 ", pane::max_line, "\n 12 "},
        {"\r\nErreur\r\n", pane::max_line + 5, "\nErreur\n"},
        {"", pane::max_line, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(pane::shown(QString::fromUtf8(row.text), row.last_line), QString::fromUtf8(row.shown))
            << row.text << " after " << row.last_line;
}

TEST(InfoPane, DropsWhatGoesBeyondItsSize)
{
    EXPECT_EQ(pane::excess(0), 0);
    EXPECT_EQ(pane::excess(pane::max_chars), 0);
    EXPECT_EQ(pane::excess(pane::max_chars + 7), 7);
}
