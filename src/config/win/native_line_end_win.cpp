#include "config/native_line_end.h"

namespace larkspan {

const std::string_view kPlatformLineEnd = "\r\n";

} // namespace larkspan
