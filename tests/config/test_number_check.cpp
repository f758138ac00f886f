#include "config/number_check.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

TEST(WholeNumberCheck, SortsTextsIntoThreeOutcomes)
{
    struct Case
    {
        const char* text;
        NumberCheck expected;
    };
    using enum NumberCheck;
    const Case cases[] = {
        {"80", Whole},
        {"0", Whole},
        {"-80", Whole},
        {"65536", Whole},
        {"999999999999999", Whole},
        {"-999999999999999", Whole},
        {"1000000000000000", NotWhole},
        {" 80", NotWhole},
        {"80 ", NotWhole},
        {"\t80", NotWhole},
        {"80.0", NotWhole},
        {"80.", NotWhole},
        {".5", NotWhole},
        {"080", NotWhole},
        {"00", NotWhole},
        {"-0", NotWhole},
        {"+80", NotWhole},
        {"8e1", NotWhole},
        {"8E+1", NotWhole},
        {"-1.5e-3", NotWhole},
        {"abc", NotANumber},
        {"", NotANumber},
        {"   ", NotANumber},
        {"-", NotANumber},
        {".", NotANumber},
        {"8e", NotANumber},
        {"e5", NotANumber},
        {"1.2.3", NotANumber},
        {"--1", NotANumber},
        {"80a", NotANumber},
        {"8 0", NotANumber},
        {"1,000", NotANumber},
        {"0x10", NotANumber},
        {"$5", NotANumber},
        {"８０", NotANumber},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WholeNumberCheck(c.text), c.expected) << '"' << c.text << '"';
}

} // namespace
} // namespace larkspan
