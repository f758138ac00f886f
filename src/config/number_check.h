#pragma once

#include <string_view>

namespace larkspan {

enum class NumberCheck { NotANumber, NotWhole, Whole };

/// The number check of the settings dialogs. In effect a text is Whole exactly when it is an
/// optional "-" followed by one to fifteen digits without a leading zero ("0" passes).
NumberCheck WholeNumberCheck(std::string_view text);

} // namespace larkspan
