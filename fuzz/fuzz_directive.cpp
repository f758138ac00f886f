// Drives the directive rewriter with arbitrary files and arguments. The line structure stays;
// each directive line becomes exactly "name value" with its own line end, and every other line
// keeps its bytes.
#include "config/directive_engine.h"
#include "fuzz_lines.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace larkspan;
using namespace larkspan::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string directive = provider.ConsumeRandomLengthString(16);
    const std::string value = provider.ConsumeRandomLengthString(32);
    const std::string content = provider.ConsumeRemainingBytesAsString();
    if (DirectiveProblem(directive, value))
        return 0;

    const std::string rewritten = RewriteDirectiveText(content, directive, value);
    const std::vector<std::string_view> oldLines = Lines(content);
    const std::vector<std::string_view> newLines = Lines(rewritten);
    Require(oldLines.size() == newLines.size(), "the number of lines stays");
    const std::string expected = directive + " " + value;
    for (std::size_t i = 0; i < oldLines.size(); ++i) {
        const std::string_view oldText = WithoutLineEnd(oldLines[i]);
        const std::string_view newText = WithoutLineEnd(newLines[i]);
        if (IsDirectiveLine(oldText, directive)) {
            Require(newText == expected, "a directive line reads name, blank, value");
            Require(oldLines[i].substr(oldText.size()) == newLines[i].substr(newText.size()),
                "a directive line keeps its line end");
        } else {
            Require(oldLines[i] == newLines[i], "every other line keeps its bytes");
        }
    }
    Require(
        RewriteDirectiveText(rewritten, directive, value) == rewritten, "a repeated rewrite changes nothing");
    return 0;
}
