#include "platform/instance_guard.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
using Outcome = InstanceClaim::Outcome;

Outcome Claim(InstanceGuard& guard)
{
    return guard.TryAcquire().outcome;
}

std::string UniqueName(const char* tag)
{
    return std::string("larkspan-test-") + tag + "-" + std::to_string(::GetCurrentProcessId()) + "-"
        + std::to_string(::GetTickCount64());
}

TEST(MutexInstanceGuard, OneHolderPerNameWithinAProcess)
{
    const std::string name = UniqueName("local");
    auto first = MakeSystemInstanceGuard(name);
    ASSERT_EQ(Claim(*first), Outcome::Acquired);
    EXPECT_EQ(Claim(*first), Outcome::Acquired) << "a second claim by the holder";
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(name)), Outcome::HeldByAnother);
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(name + "-other")), Outcome::Acquired);
    first.reset();
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(name)), Outcome::Acquired) << "released with its holder";
}

TEST(MutexInstanceGuard, ASecondProgramIsRefusedAndACrashLeavesNothingStale)
{
    const std::string name = UniqueName("process");
    const std::string helper = "\"" + test::HelperProgram() + "\" guard " + name;

    {
        const auto guard = MakeSystemInstanceGuard(name);
        ASSERT_EQ(Claim(*guard), Outcome::Acquired);
        test::ChildProcess second(helper + " 0");
        EXPECT_EQ(second.Wait(10s), 3u) << "a second instance must be refused";
    }

    test::ChildProcess holder(helper + " 60000", true);
    ASSERT_EQ(holder.ReadLine(), "acquired");
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(name)), Outcome::HeldByAnother);
    holder.Kill();
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(name)), Outcome::Acquired)
        << "the killed holder left its claim behind";
}

} // namespace
} // namespace larkspan
