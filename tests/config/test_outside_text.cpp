// Text from outside the panel, as the event log and the message boxes may show it.
#include "config/outside_text.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

TEST(CleanLine, NothingMayColourHideReorderOrSplitWhatIsShown)
{
    const struct
    {
        const char* name;
        std::string text;
        std::string shown;
    } rows[] = {
        {"plain text, Chinese and emoji kept", "端口 (errno: 98) \xF0\x9F\x98\x80",
            "端口 (errno: 98) \xF0\x9F\x98\x80"},
        {"C0 controls and DEL go", std::string("a\x01\x07\x7f") + '\0' + "b", "ab"},
        {"tab and line breaks become blanks", "a\tb\nc\rd\ve\ff", "a b c d e f"},
        {"a colour", "\x1b[1;31mred\x1b[0m", "red"},
        {"a cursor move with intermediates",
            "a\x1b[2 qb\x1b"
            "7c",
            "abc"},
        {"a title's string stays as text", "\x1b]0;title\x07rest", "0;titlerest"},
        {"an escape at the end", "a\x1b", "a"},
        {"C1 controls go, the C1 control sequence with its parameters",
            "a\xC2\x80"
            "b\xC2\x9B"
            "2Jc\xC2\x9F",
            "abc"},
        {"next line, line and paragraph separators become blanks",
            "a\xC2\x85"
            "b\xE2\x80\xA8"
            "c\xE2\x80\xA9"
            "d",
            "a b c d"},
        {"a right-to-left override cannot reverse a name",
            "\xE2\x80\xAE"
            "exe.dptth",
            "exe.dptth"},
        {"embeddings, isolates and marks go",
            "\xE2\x80\xAA"
            "a\xE2\x80\xAB"
            "b\xE2\x80\xAC"
            "c\xE2\x80\xAD"
            "d\xE2\x81\xA6"
            "e\xE2\x81\xA7"
            "f"
            "\xE2\x81\xA8"
            "g\xE2\x81\xA9"
            "h\xE2\x80\x8E"
            "i\xE2\x80\x8F"
            "j\xD8\x9C"
            "k",
            "abcdefghijk"},
        {"bytes that are no UTF-8 become U+FFFD",
            "a\xff"
            "b\xC0\x8A"
            "c\xED\xA0\x80"
            "d\xE4\xB8",
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD"
            "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
            "d\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CleanLine(row.text), row.shown) << row.name;
}

TEST(CleanLines, EachLineAndTheWholeAreBounded)
{
    const struct
    {
        const char* name;
        std::string text;
        std::size_t lineLimit;
        std::size_t totalLimit;
        std::string shown;
        bool cut;
    } rows[] = {
        {"lines joined by LF, each cleaned", "a\r\n\x1b[31mb\rc\n\nd\n", 10, 100, "a\nb\nc\n\nd", false},
        {"a long line cut before a whole character", "xx端口\nyy", 4, 100, "xx…\nyy", true},
        {"the whole cut at a line", "aaaa\nbbbb\ncccc\n", 10, 9, "aaaa\nbbbb", true},
        {"the whole cut within a line", "aaaa\nbbbbbb\n", 10, 8, "aaaa\nbbb…", true},
        {"4 MB on one line", std::string(4 << 20, 'x'), 1000, 4000, std::string(1000, 'x') + "…", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bool cut = !row.cut;
        EXPECT_EQ(CleanLines(row.text, row.lineLimit, row.totalLimit, &cut), row.shown);
        EXPECT_EQ(cut, row.cut);
    }
}

} // namespace
} // namespace larkspan
