#include "platform/command.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

struct CommandLineCase
{
    const char* name;
    Command command;
    const char* expected;
};

class CommandLineTest : public testing::TestWithParam<CommandLineCase>
{
};

TEST_P(CommandLineTest, RendersTheTypedText)
{
    EXPECT_EQ(GetParam().command.commandLine(), GetParam().expected);
}

using A = Argument;

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTest,
    testing::Values(CommandLineCase {"ServiceCommand", {"net", {A::literal("start"), A::literal("Apache2")}},
                        "net start Apache2"},
        CommandLineCase {"PlainPathUnquoted", {"notepad.exe", {A::path("D:\\b\\PHP5\\php.ini")}},
            "notepad.exe D:\\b\\PHP5\\php.ini"},
        CommandLineCase {
            "ProgramOnly", {"cmd", {A::literal("/c"), A::literal("services.msc")}}, "cmd /c services.msc"},
        CommandLineCase {"EmptyArgumentKeepsTrailingBlank", {"explorer.exe", {A::path("")}}, "explorer.exe "},
        CommandLineCase {"UrlUnchanged", {"explorer.exe", {A::url("http://localhost:8080/phpMyAdmin")}},
            "explorer.exe http://localhost:8080/phpMyAdmin"},
        CommandLineCase {"BlankInPathQuoted", {"notepad.exe", {A::path("D:\\my bundle\\PHP5\\php.ini")}},
            "notepad.exe \"D:\\my bundle\\PHP5\\php.ini\""},
        CommandLineCase {"TabQuoted", {"x", {A::literal("a\tb")}}, "x \"a\tb\""},
        CommandLineCase {"QuoteEscaped", {"x", {A::literal("pa\"ss")}}, "x \"pa\\\"ss\""},
        CommandLineCase {
            "BackslashesBeforeQuoteDoubled", {"x", {A::literal("a\\\\\"b")}}, "x \"a\\\\\\\\\\\"b\""},
        CommandLineCase {
            "TrailingBackslashDoubledWhenQuoted", {"x", {A::path("D:\\a b\\")}}, "x \"D:\\a b\\\\\""},
        CommandLineCase {"TrailingBackslashKeptWhenUnquoted", {"x", {A::path("D:\\")}}, "x D:\\"},
        CommandLineCase {"ProgramWithBlankQuoted",
            {"D:\\my bundle\\mysql\\bin\\mysql.exe", {A::literal("-uroot"), A::literal("-p")}},
            "\"D:\\my bundle\\mysql\\bin\\mysql.exe\" -uroot -p"},
        CommandLineCase {
            "ShellCharactersUntouched", {"x", {A::literal("$(rm)"), A::literal(";&|")}}, "x $(rm) ;&|"}),
    [](const testing::TestParamInfo<CommandLineCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace larkspan
