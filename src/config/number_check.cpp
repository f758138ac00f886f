#include "config/number_check.h"

namespace larkspan {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Decimal numbers only: blanks around, a sign, digits with at most one point, an exponent.
// Thousands separators, currency signs and hexadecimal prefixes ("1,000", "$5", "0x10") are
// not numbers here; they could never be whole anyway, so this only picks their message.
bool ReadsAsNumber(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size && IsBlank(text[i]))
        ++i;
    if (i < size && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < size && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < size && text[i] == '.') {
        ++i;
        while (i < size && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < size && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < size && IsDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    while (i < size && IsBlank(text[i]))
        ++i;
    return i == size;
}

} // namespace

NumberCheck WholeNumberCheck(std::string_view text)
{
    if (!ReadsAsNumber(text))
        return NumberCheck::NotANumber;
    // A number passes when it equals its own plain decimal write-back: no "+", no leading
    // zero, no blanks, point or exponent, and fewer than 16 digits (from 10^15 on the
    // write-back uses exponent notation). "-0" writes back as "0" and so fails.
    std::string_view digits = text;
    if (digits.starts_with('-'))
        digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 15)
        return NumberCheck::NotWhole;
    for (const char c : digits) {
        if (!IsDigit(c))
            return NumberCheck::NotWhole;
    }
    if (digits.front() == '0' && (digits.size() > 1 || text.starts_with('-')))
        return NumberCheck::NotWhole;
    return NumberCheck::Whole;
}

} // namespace larkspan
