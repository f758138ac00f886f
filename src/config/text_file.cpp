#include "config/text_file.h"

#include "config/file_layer_rules.h"
#include "config/text_lines.h"

#include <atomic>
#include <chrono>

namespace larkspan {

namespace {

constexpr std::string_view kTemporaryMark = ".tmp";

} // namespace

std::string TemporaryNameFor(std::string_view name, unsigned long process)
{
    static std::atomic<unsigned> counter {0};
    const auto now
        = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    return "." + std::string(name) + std::string(kTemporaryMark) + std::to_string(process) + "-"
        + std::to_string((now ^ (now >> 17)) % 1000000007ULL) + "-" + std::to_string(counter++);
}

bool IsTemporaryNameOf(std::string_view entry, std::string_view name)
{
    if (!entry.starts_with('.') || entry.substr(1, name.size()) != name)
        return false;
    entry.remove_prefix(1 + name.size());
    if (!entry.starts_with(kTemporaryMark))
        return false;
    entry.remove_prefix(kTemporaryMark.size());
    for (int number = 0; number < 3; ++number) {
        if (number > 0) {
            if (!entry.starts_with('-'))
                return false;
            entry.remove_prefix(1);
        }
        const std::size_t digits = entry.find_first_not_of("0123456789");
        if (digits == 0 || entry.empty())
            return false;
        entry.remove_prefix(digits == std::string_view::npos ? entry.size() : digits);
    }
    return entry.empty();
}

Status ReadWholeFile(std::string_view path, std::string& content)
{
    bool missing = false;
    return ReadWholeFile(path, content, missing);
}

// Every whole-file text write (directive rewrites, the phpinfo page, vhosts.conf) goes through
// here so they share one rule for the end of the file: a last line without a line end gets one,
// in the text's own convention, and nothing more is appended. Adding a line end unconditionally
// would grow the file by one empty line at every save.
Status WriteTextFile(std::string_view path, std::string&& text)
{
    TerminateLastLine(text);
    return WriteFileAtomically(path, text);
}

Status WriteTextFile(std::string_view path, std::string_view text)
{
    return WriteTextFile(path, std::string(text));
}

} // namespace larkspan
