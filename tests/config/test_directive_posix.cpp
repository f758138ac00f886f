// The directive rewriter on POSIX files: permission bits, links, Windows paths mapped to native ones.
#include "config/directive.h"
#include "support/config_test_support.h"
#include "support/permission_bits_posix.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

using test::TempDir;
using test::WriteBytes;

class RewriteDirectiveFile : public ::testing::Test
{
protected:
    TempDir m_dir;
};

TEST_F(RewriteDirectiveFile, RewritesAtomicallyKeepingModeAndLink)
{
    const std::string conf = m_dir / "httpd.conf";
    WriteBytes(conf, "ServerRoot /x\nListen 80\n");
    ::chmod(conf.c_str(), 0640);
    std::filesystem::create_symlink(conf, m_dir / "link.conf");

    ASSERT_TRUE(RewriteDirective(m_dir / "link.conf", "Listen", "81").ok());
    EXPECT_EQ(FileContents(conf), "ServerRoot /x\nListen 81\n");
    EXPECT_TRUE(std::filesystem::is_symlink(m_dir / "link.conf"));
    EXPECT_EQ(test::PermissionBits(conf), 0640u);
    EXPECT_EQ(test::EntryCount(m_dir.path()), 2u);
}

TEST_F(RewriteDirectiveFile, MapsWindowsPaths)
{
    std::filesystem::create_directories(m_dir / "Apache2/conf");
    WriteBytes(m_dir / "Apache2/conf/httpd.conf", "Listen 80\r\n");
    ASSERT_TRUE(RewriteDirective(m_dir.path() + "\\apache2\\CONF\\httpd.conf", "Listen", "81").ok());
    EXPECT_EQ(FileContents(m_dir / "Apache2/conf/httpd.conf"), "Listen 81\r\n");
}

} // namespace
} // namespace larkspan
