#include "platform/process_list.h"
#include "support/temp_dir.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Copies of the sleeper under server image names and near misses, each in a folder of its own so
// that names differing only in letter case can exist side by side.
TEST(ToolhelpProcessList, CountsProcessesByTheirExactImageName)
{
    test::TempDir dir;
    const auto processes = MakeSystemProcessList();
    const std::vector<std::string> images = {
        "httpd.exe", "httpd.exe", "HTTPD.EXE", "xhttpd.exe", "httpd.exe.exe", "mysqld-nt.exe", "mysqld.exe"};

    struct Row
    {
        const char* name;
        int started;
    };
    const Row rows[] = {
        {"httpd.exe", 2},
        {"mysqld-nt.exe", 1},
        {"HTTPD.EXE", 1},
        {"httpd", 0},
        {"mysqld", 0},
        {"", 0},
    };
    std::vector<int> before;
    for (const Row& row : rows)
        before.push_back(processes->CountProcesses(row.name));

    std::vector<std::unique_ptr<test::ChildProcess>> sleepers;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::string folder = dir / std::to_string(i);
        fs::create_directory(folder);
        const std::string image = folder + "\\" + images[i];
        fs::copy_file(test::HelperProgram(), test::WidePath(image));
        sleepers.push_back(std::make_unique<test::ChildProcess>("\"" + image + "\" sleep 60000"));
    }
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const int expected = before[i] + rows[i].started;
        EXPECT_TRUE(test::Eventually([&] { return processes->CountProcesses(rows[i].name) == expected; }, 5s))
            << rows[i].name << ": " << processes->CountProcesses(rows[i].name) << " instead of " << expected;
    }

    sleepers.clear();
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(processes->CountProcesses(rows[i].name), before[i]) << rows[i].name << " after the end";
}

} // namespace
} // namespace larkspan
