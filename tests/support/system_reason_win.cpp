#include "support/config_test_support.h"

namespace larkspan::test {

const std::string_view kDeviceFile = "NUL";

::testing::AssertionResult FailsWithReason(const Status& status, const std::string& path, std::string_view)
{
    if (status.ok())
        return ::testing::AssertionFailure() << "succeeded: " << path;
    // The reason is the system's text in the user's language: only its presence counts.
    const std::string prefix = path + ": ";
    if (status.message().starts_with(prefix) && status.message().size() > prefix.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message \"" << status.message() << "\" for " << path;
}

} // namespace larkspan::test
