// Drives the INI engine with arbitrary files and arguments. A write must read back, must not
// change its own outcome when repeated, and may touch only the target line: around the first
// and last changed line at most one old line differs (the key's, or an unterminated last line
// that gets its line end) and at most two lines are new (a section line and the key line).
#include "config/ini_engine.h"
#include "fuzz_lines.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

using namespace larkspan;
using namespace larkspan::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string section = provider.ConsumeRandomLengthString(16);
    const std::string key = provider.ConsumeRandomLengthString(16);
    const std::string value = provider.ConsumeRandomLengthString(32);
    const std::string content = provider.ConsumeRemainingBytesAsString();

    IniLookup(content, section, key);
    if (IniWriteProblem(section, key, value))
        return 0;
    const std::string updated = IniUpdate(content, section, key, value);
    Require(IniLookup(updated, section, key) == IniValueAsRead(value), "the written value reads back");
    Require(IniUpdate(updated, section, key, value) == updated, "a repeated write changes nothing");

    const std::vector<std::string_view> oldLines = Lines(content);
    const std::vector<std::string_view> newLines = Lines(updated);
    std::size_t prefix = 0;
    while (prefix < oldLines.size() && prefix < newLines.size() && oldLines[prefix] == newLines[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < oldLines.size() - prefix && suffix < newLines.size() - prefix
        && oldLines[oldLines.size() - 1 - suffix] == newLines[newLines.size() - 1 - suffix])
        ++suffix;
    const std::size_t oldChanged = oldLines.size() - prefix - suffix;
    const std::size_t newChanged = newLines.size() - prefix - suffix;
    Require(oldChanged <= 1, "at most one old line changes");
    Require(newChanged <= oldChanged + 2, "at most two lines are added");
    if (oldChanged == 1 && oldLines[prefix] != WithoutLineEnd(oldLines[prefix])) {
        const std::string_view oldEnd = oldLines[prefix].substr(WithoutLineEnd(oldLines[prefix]).size());
        Require(newLines[prefix].ends_with(oldEnd), "a changed line keeps its line end");
    }
    return 0;
}
