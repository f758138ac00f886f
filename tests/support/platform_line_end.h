#pragma once

#include "config/text_lines.h"

#include <string>
#include <string_view>

namespace larkspan::test {

/// `text` with every LF turned into the platform's line end: what a new or empty file gets.
inline std::string WithPlatformLineEnds(std::string_view text)
{
    std::string result;
    for (const char c : text) {
        if (c == '\n')
            result += kPlatformLineEnd;
        else
            result += c;
    }
    return result;
}

} // namespace larkspan::test
