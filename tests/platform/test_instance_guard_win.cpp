#include "instance_guard.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

using namespace std::chrono_literals;

std::string UniqueName(const char* tag)
{
    return std::string("larkspan-test-") + tag + "-" + std::to_string(::GetCurrentProcessId()) + "-"
        + std::to_string(::GetTickCount64());
}

TEST(MutexInstanceGuard, OneHolderPerNameWithinAProcess)
{
    const std::string name = UniqueName("local");
    auto first = MakeSystemInstanceGuard(name);
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->TryAcquire()) << "a second claim by the holder";
    EXPECT_FALSE(MakeSystemInstanceGuard(name)->TryAcquire());
    EXPECT_TRUE(MakeSystemInstanceGuard(name + "-other")->TryAcquire());
    first.reset();
    EXPECT_TRUE(MakeSystemInstanceGuard(name)->TryAcquire()) << "released with its holder";
}

TEST(MutexInstanceGuard, ASecondProgramIsRefusedAndACrashLeavesNothingStale)
{
    const std::string name = UniqueName("process");
    const std::string helper = "\"" + test::HelperProgram() + "\" guard " + name;

    {
        const auto guard = MakeSystemInstanceGuard(name);
        ASSERT_TRUE(guard->TryAcquire());
        test::ChildProcess second(helper + " 0");
        EXPECT_EQ(second.Wait(10s), 3u) << "a second instance must be refused";
    }

    test::ChildProcess holder(helper + " 60000", true);
    ASSERT_EQ(holder.ReadLine(), "acquired");
    EXPECT_FALSE(MakeSystemInstanceGuard(name)->TryAcquire());
    holder.Kill();
    EXPECT_TRUE(MakeSystemInstanceGuard(name)->TryAcquire()) << "the killed holder left its claim behind";
}

} // namespace
} // namespace larkspan
