#pragma once
// The Windows user locale, which tests registered for a given Wine locale check first.

#include "config/win/wide_text.h"

#include <windows.h>

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace larkspan::test {

inline std::string UserLocale()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] {};
    const int length = ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    return length > 1 ? Utf8FromWide(std::wstring_view(name, static_cast<std::size_t>(length - 1))) : "";
}

/// Fails when the test was registered for a locale (LARKSPAN_EXPECT_LOCALE) that Wine did not give it,
/// so that a missing Linux locale cannot pass unseen.
inline ::testing::AssertionResult RunsInTheExpectedLocale()
{
    const char* expected = std::getenv("LARKSPAN_EXPECT_LOCALE");
    if (expected == nullptr || UserLocale() == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "user locale " << UserLocale() << " instead of " << expected;
}

} // namespace larkspan::test
