#include "support/config_test_support.h"

namespace larkspan::test {

const std::string_view kDeviceFile = "/dev/null";

::testing::AssertionResult FailsWithReason(
    const Status& status, const std::string& path, std::string_view posixReason)
{
    if (status.ok())
        return ::testing::AssertionFailure() << "succeeded: " << path;
    if (status.message() == path + ": " + std::string(posixReason))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message \"" << status.message() << "\" for " << path;
}

} // namespace larkspan::test
