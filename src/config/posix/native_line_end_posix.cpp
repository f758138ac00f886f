#include "config/native_line_end.h"

namespace larkspan {

const std::string_view kPlatformLineEnd = "\n";

} // namespace larkspan
