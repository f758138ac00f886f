// The root password of phpMyAdmin's configuration: the one string PHP would use replaced, byte
// for byte everything else, and every file whose servers cannot be read for sure left alone.
#include "config/phpmyadmin_password.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

// The demo bundle's file, as bundle/templates writes it.
const std::string kBundleFile = "<?php\n"
                                "// phpMyAdmin of the demo bundle.\n"
                                "declare(strict_types=1);\n"
                                "\n"
                                "$cfg['blowfish_secret'] = 'abc';\n"
                                "\n"
                                "$i = 1;\n"
                                "$cfg['Servers'][$i]['auth_type'] = 'config';\n"
                                "$cfg['Servers'][$i]['host'] = 'localhost';\n"
                                "$cfg['Servers'][$i]['user'] = 'root';\n"
                                "$cfg['Servers'][$i]['password'] = 'qlwv';\n"
                                "$cfg['Servers'][$i]['AllowNoPassword'] = false;\n";

// One server entry of the $i++ pattern with the given user, authentication and password line.
std::string Entry(const std::string& user, const std::string& auth, const std::string& password)
{
    return "$i++;\n$cfg['Servers'][$i]['auth_type'] = '" + auth + "';\n$cfg['Servers'][$i]['user'] = '" + user
        + "';\n" + password + "\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

TEST(PhpSingleQuoted, EscapesOnlyBackslashesAndQuotes)
{
    EXPECT_EQ(PhpSingleQuoted(""), "''");
    EXPECT_EQ(PhpSingleQuoted("it's a \\ \"x\" $y {$z}"), "'it\\'s a \\\\ \"x\" $y {$z}'");
    EXPECT_EQ(PhpSingleQuoted("end\\"), "'end\\\\'");
    // A GBK character whose second byte is a backslash keeps its bytes when read back.
    EXPECT_EQ(PhpSingleQuoted("\x95\x5C"), "'\x95\\\\'");
}

TEST(PhpMyAdminPassword, ReplacesOnlyTheRootEntrysPasswordString)
{
    const std::string sample = "<?php\n$i = 0;\n"
        + Entry("pma", "config", "$cfg['Servers'][$i]['password'] = 'p1';")
        + Entry("root", "config", "$cfg['Servers'][$i]['password'] = 'p2';");
    const std::string crLf = "<?php\r\n// \xC3\xDC\xC2\xEB\r\n$cfg['Lang'] = '\x95\\\\';\r\n$i = 1;\r\n"
                             "$cfg['Servers'][$i]['auth_type'] = 'config';\r\n"
                             "$cfg['Servers'][$i]['user'] = 'root';\r\n"
                             "$cfg['Servers'][$i]['password'] = '\xBE\xC9';\r\n";
    const std::string comments
        = "<?php\n"
          "/**\n * @global string $cfg['Servers'][$i]['password']\n */\n"
          "$i = 1;\n"
          "// $cfg['Servers'][$i]['user'] = 'other';\n"
          "# $cfg['Servers'][$i]['password'] = 'hash';\n"
          "$cfg['Servers'][$i]['auth_type'] = 'config'; /* $cfg['Servers'][2]['user'] = 'root'; */\n"
          "$cfg['Servers'][$i]['user'] = 'root';\n"
          "$cfg['Servers'][$i]['password'] = 'qlwv'; // $cfg['Servers'][$i]['password'] = 'z';\n";
    const std::string aligned
        = "<?php\n$i = 0;\n$i++;\n"
          "$cfg['Servers'][$i]['auth_type']     = 'config';    // config, http or cookie\n"
          "$cfg['Servers'][$i]['user']          = 'root';      // MySQL user\n"
          "$cfg['Servers'][$i]['password']      = '';          // MySQL password (only needed\n"
          "                                                    // with 'config' auth_type)\n";
    const std::string html
        = "inline text <b>\n<?php $i = 1; // a closing tag ends this comment ?> more text\n"
          "<?php\n$cfg['Servers'][1]['auth_type'] = \"CONFIG\";\n"
          "$cfg [ 'Servers' ] [ \"1\" ] [ 'user' ] = \"root\";\n"
          "$cfg['Servers'][$i]['password'] = \"old\\x41$x\" ?>\n";
    const std::string lastWins
        = "<?php\n$i = 1;\n$cfg['Servers'][$i]['password'] = 'first';\n"
          "$cfg['Servers'][$i]['auth_type'] = 'config';\n$cfg['Servers'][$i]['user'] = 'root';\n"
          "$cfg['Servers'][$i]['password'] = 'last';\n";
    const std::string reset
        = "<?php\n$cfg['Servers'][1]['user'] = 'root';\n$cfg['Servers'][1]['auth_type'] = 'config';\n"
          "$cfg['Servers'][1]['password'] = 'gone';\n$cfg['Servers'] = array();\n$i = 5;\n"
          "$cfg['Servers'][$i]['user'] = 'root';\n$cfg['Servers'][$i]['auth_type'] = 'config';\n"
          "$cfg['Servers'][$i]['password'] = 'kept';\n";
    const std::string guarded
        = "<?php\nif (!defined('PHPMYADMIN')) {\n    exit;\n}\n"
          "if (defined('TEMP_DIR')) {\n    $cfg['TempDir'] = TEMP_DIR;\n} else {\n"
          "    $cfg['TempDir'] = ROOT_PATH . 'tmp';\n}\n"
          "$cfg['Servers'] = [];\n$i = 1;\n$cfg['Servers'][$i]['auth_type'] = 'config';\n"
          "$cfg['Servers'][$i]['user'] = 'root';\n$cfg['Servers'][$i]['password'] = '';\n"
          "$cfg['Servers'][$i]['SignonCookieParams']['path'] = '/';\n";
    const std::string halted = kBundleFile + "__halt_compiler();\x01\x02<<<'\"`{$\n";

    const struct
    {
        const char* name;
        std::string content;
        std::string password;
        std::string expected;
    } rows[] = {
        {"the demo bundle's file", kBundleFile, "new", Replaced(kBundleFile, "'qlwv'", "'new'")},
        {"quotes, backslashes, blanks and Chinese escaped", kBundleFile, "it's a \\ 中文\\",
            Replaced(kBundleFile, "'qlwv'", "'it\\'s a \\\\ 中文\\\\'")},
        {"an empty password", kBundleFile, "", Replaced(kBundleFile, "'qlwv'", "''")},
        {"the second server of the $i++ pattern", sample, "new", Replaced(sample, "'p2'", "'new'")},
        {"CR LF and GBK bytes elsewhere stay", crLf, "\xD0\xC2", Replaced(crLf, "'\xBE\xC9'", "'\xD0\xC2'")},
        {"look-alike lines in comments are not read", comments, "new",
            Replaced(comments, "'qlwv';", "'new';")},
        {"aligned columns and trailing comments of older files", aligned, "new",
            Replaced(aligned, "= '';", "= 'new';")},
        {"inline text, closing tags, double quotes, spaced and string indices", html, "n",
            Replaced(html, "\"old\\x41$x\"", "'n'")},
        {"the last assignment is the one PHP keeps", lastWins, "new", Replaced(lastWins, "'last'", "'new'")},
        {"an emptied server list forgets earlier entries", reset, "new", Replaced(reset, "'kept'", "'new'")},
        {"conditions that leave the servers alone", guarded, "new", Replaced(guarded, "= '';", "= 'new';")},
        {"nothing past __halt_compiler is read", halted, "new", Replaced(halted, "'qlwv'", "'new'")},
        {"the same password leaves the same bytes", kBundleFile, "qlwv", kBundleFile},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PhpMyAdminPasswordEdit edit = SetPhpMyAdminRootPassword(row.content, row.password);
        EXPECT_EQ(edit.problem, "");
        EXPECT_EQ(edit.content, row.expected);
    }
}

TEST(PhpMyAdminPassword, RefusesWhatItCannotReadForSure)
{
    const std::string head = "<?php\n$i = 1;\n";
    const std::string root
        = "$cfg['Servers'][$i]['auth_type'] = 'config';\n$cfg['Servers'][$i]['user'] = 'root';\n";
    const std::string password = "$cfg['Servers'][$i]['password'] = 'qlwv';\n";
    const struct
    {
        const char* name;
        std::string content;
        const char* problem; // a part of the reason
    } rows[] = {
        // What the entries say.
        {"no root entry (the shipped sample: cookie, no user)",
            "<?php\n$i = 0;\n$i++;\n$cfg['Servers'][$i]['auth_type'] = "
            "'cookie';\n$cfg['Servers'][$i]['host'] = 'x';\n",
            "没有用户为 root 的服务器设置"},
        {"an empty file", "", "没有用户为 root 的服务器设置"},
        {"several root entries",
            "<?php\n$i = 0;\n" + Entry("root", "config", password) + Entry("root", "config", password),
            "多个用户为 root 的服务器设置（第 1、2 个服务器）"},
        {"cookie authentication", head + Replaced(root, "'config'", "'cookie'") + password,
            "使用 cookie 认证方式"},
        {"http authentication", head + Replaced(root, "'config'", "'http'") + password, "使用 http 认证方式"},
        {"signon authentication", head + Replaced(root, "'config'", "'signon'") + password,
            "使用 signon 认证方式"},
        {"no authentication stated", head + "$cfg['Servers'][$i]['user'] = 'root';\n" + password,
            "没有写明认证方式"},
        {"no password line", head + root, "没有密码行"},
        {"a commented-out password line", head + root + "// " + password, "没有密码行"},
        {"a password made of an expression", head + root + "$cfg['Servers'][$i]['password'] = 'a' . 'b';\n",
            "第 5 行：root 的密码不是一个简单的字符串"},
        {"a password from a variable", head + root + "$cfg['Servers'][$i]['password'] = $dbpass;\n",
            "不是一个简单的字符串"},
        {"a user from a variable", head + "$cfg['Servers'][$i]['user'] = $dbuser;\n" + password,
            "第 3 行的用户名不是一个简单的字符串"},
        {"an authentication from a constant",
            head + "$cfg['Servers'][$i]['auth_type'] = AUTH;\n" + "$cfg['Servers'][$i]['user'] = 'root';\n"
                + password,
            "认证方式不是一个简单的字符串"},

        // Where the index or the flow cannot be followed.
        {"an index set by a loop",
            "<?php\nfor ($i = 1; $i <= 2; $i++) {\n    $x = $i;\n}\n" + root + password,
            "第 5 行的服务器序号无法确定"},
        {"an index never set", "<?php\n$i++;\n" + root + password, "服务器序号无法确定"},
        {"an index that is not a plain number", "<?php\n$i = 0x1;\n" + root + password, "服务器序号无法确定"},
        {"an index changed inside the value", head + root + "$cfg['Servers'][$i]['password'] = $i++;\n",
            "以无法识别的方式设置服务器"},
        {"an appended entry", head + "$cfg['Servers'][] = 'x';\n" + root + password,
            "以无法识别的方式设置服务器"},
        {"an entry set as a whole",
            head + "$cfg['Servers'][$i] = ['user' => 'root', 'auth_type' => 'config', 'password' => 'x'];\n",
            "以无法识别的方式设置服务器"},
        {"the whole configuration replaced", head + root + password + "$cfg = [];\n",
            "第 6 行以无法识别的方式设置服务器"},
        {"an entry removed", head + root + password + "unset($cfg['Servers'][1]);\n",
            "以无法识别的方式设置服务器"},
        {"an appended password", head + root + password + "$cfg['Servers'][$i]['password'] .= 'x';\n",
            "以无法识别的方式设置服务器"},
        {"a password set in a block", head + root + "if ($x) {\n    " + password + "}\n",
            "以无法识别的方式设置服务器"},
        {"a user set under a condition without braces",
            head + "if ($x) $cfg['Servers'][$i]['user'] = 'root';\n", "以无法识别的方式设置服务器"},
        {"the alternative syntax", head + "if ($x):\n    $a = 1;\n" + root + password + "endif;\n",
            "goto 或 endif"},
        {"an include", head + root + password + "include '/etc/phpmyadmin/conf.d/x.php';\n",
            "include、require"},
        {"require_once in capitals", head + "REQUIRE_ONCE 'x.php';\n" + root + password, "include、require"},
        {"extract", head + "extract($settings);\n" + root + password, "extract"},
        {"$GLOBALS", head + root + password + "$GLOBALS['cfg']['Servers'][1]['password'] = 'x';\n",
            "$GLOBALS"},
        {"a reference", head + "$p = &$cfg['Servers'][1]['password'];\n" + root + password, "引用"},
        {"a variable variable", head + "$$name = 2;\n" + root + password, "可变变量"},
        {"a heredoc", head + root + "$cfg['Servers'][$i]['password'] = <<<EOT\nx\nEOT;\n", "heredoc"},
        {"a backtick command", head + root + "$cfg['Servers'][$i]['password'] = `cat pw`;\n", "反引号"},
        {"an expression inside a string", head + "$x = \"{$a[\"k\"]}\";\n" + root + password, "嵌入了表达式"},
        {"an expression after a backslash", head + "$x = \"\\{$a[\"k\"]}\";\n" + root + password,
            "嵌入了表达式"},
        {"a short open tag", "<? $i = 1;\n" + root + password, "第 1 行使用了短标记"},
        {"an attribute", head + "#[Attr]\n" + root + password, "属性"},
        {"an unterminated comment", head + root + password + "/* open\n", "第 6 行的注释没有结束"},
        {"an unterminated string", head + root + "$cfg['Servers'][$i]['password'] = 'x\\';\n",
            "第 5 行的字符串没有结束"},
        {"unbalanced brackets", head + root + password + "}\n", "括号不配对"},
        {"an unclosed block", head + root + password + "if ($x) {\n", "括号不配对"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PhpMyAdminPasswordEdit edit = SetPhpMyAdminRootPassword(row.content, "new");
        EXPECT_NE(edit.problem.find(row.problem), std::string::npos) << edit.problem;
        EXPECT_EQ(edit.content, "");
    }
}

} // namespace
} // namespace larkspan
