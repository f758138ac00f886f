#pragma once

#include <string>
#include <string_view>

namespace larkspan {

/// A verdict's lines (a checker's own words among them) as a message box shows them: cleaned as
/// all text from outside is (config/outside_text.h), each line cut at kShownLineBytes and all of
/// them at kShownTextBytes, so that no output makes the box slow to appear or too large to
/// read. What had to be cut is kept whole in a file of a new private folder under the temporary
/// folder, named in a last line; `server` names the file.
std::string ShownVerdictLines(std::string_view lines, std::string_view server);

} // namespace larkspan
