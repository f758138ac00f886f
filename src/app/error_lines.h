#pragma once

#include <string>
#include <string_view>

namespace larkspan {

/// One line of a server's error output (UTF-8) as the event log shows it: without the server's own
/// date, time and process or thread number, without control characters, and bounded in length.
std::string CondensedErrorLine(std::string_view line);

/// Whether a condensed line only reports progress ("[Note]", "[core:notice]", "[info]"): such lines
/// give way to errors and warnings when there is not room for all.
bool IsInformational(std::string_view line);

} // namespace larkspan
