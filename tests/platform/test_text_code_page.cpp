// File bytes in a code page to text and back: what decodes, what is replaced, what cannot be written.
#include "platform/text_code_page.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

TEST(TextCodePage, DecodesWhatItDefinesAndReplacesTheRest)
{
    const struct
    {
        const char* codePage;
        std::string bytes;
        std::string text;
        bool complete;
    } rows[] = {
        {"UTF-8", "\xE4\xB8\xAD\xC2\xA0\xE2\x80\xA8\xEF\xBF\xBD", "中\u00A0\u2028\uFFFD", true},
        {"UTF-8", std::string("a\0b", 3), std::string("a\0b", 3), true},
        {"UTF-8", "\xD6\xD0\xCE\xC4", "\uFFFD\uFFFD\uFFFD\uFFFD", false},
        {"UTF-8", "caf\xE9", "caf\uFFFD", false},
        {"UTF-8", "\xC0\xAF", "\uFFFD\uFFFD", false}, // overlong "/"
        {"UTF-8", "\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD", false}, // a surrogate
        {"UTF-8", "\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD", false}, // above U+10FFFF
        {"UTF-8", "x\xE4\xB8", "x\uFFFD", false}, // cut short
        {"GBK", "\xD6\xD0\xCE\xC4 ok", "中文 ok", true},
        {"GBK", "\xD6\n\xD0", "\uFFFD\n\uFFFD", false},
        {"ISO-8859-1", "caf\xE9", "café", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.codePage) + ": " + row.bytes);
        const auto codePage = MakeTextCodePage(row.codePage);
        ASSERT_NE(codePage, nullptr);
        bool complete = !row.complete;
        EXPECT_EQ(codePage->Decode(row.bytes, complete), row.text);
        EXPECT_EQ(complete, row.complete);
        if (row.complete) {
            EXPECT_EQ(codePage->Encode(row.text), row.bytes);
        }
    }
}

TEST(TextCodePage, RefusesToEncodeWhatTheCodePageCannotHold)
{
    EXPECT_EQ(MakeTextCodePage("GBK")->Encode("中文 😀"), std::nullopt);
    EXPECT_EQ(MakeTextCodePage("ISO-8859-1")->Encode("中"), std::nullopt);
    EXPECT_EQ(MakeTextCodePage("UTF-8")->Encode("\xFF"), std::nullopt);
    EXPECT_EQ(MakeTextCodePage("no-such-code-page"), nullptr);
}

} // namespace
} // namespace larkspan
