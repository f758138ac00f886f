// The private folder of a check on POSIX: only this user may enter it, and it goes with its files.
#include "config/folders.h"
#include "support/config_test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

TEST(PrivateFolder, OnlyThisUserEntersItAndItGoesWithItsFiles)
{
    std::string path;
    {
        PrivateFolder folder("larkspan-test-private-");
        ASSERT_TRUE(folder.status().ok()) << folder.status().message();
        path = folder.path();
        EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(TemporaryFolderRoot()));
        EXPECT_EQ(PermissionBits(path), 0700u);
        test::WriteBytes(path + "/php.ini", "x=1\n");
        std::filesystem::create_directory(path + "/sub");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace larkspan
