#pragma once

#include "config/text_lines.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace larkspan::fuzz {

/// The lines of `text`, each with its own line end.
inline std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    ForEachLine(
        text, [&](const TextLine& line) { lines.push_back(text.substr(line.begin, line.end - line.begin)); });
    return lines;
}

inline std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void Require(bool condition, const char* what)
{
    if (!condition)
        Fail(what);
}

} // namespace larkspan::fuzz
