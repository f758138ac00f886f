#pragma once

#include <string>
#include <string_view>

namespace larkspan {

/// A phpMyAdmin configuration file with the password of its root server entry replaced, or why
/// it was left alone.
struct PhpMyAdminPasswordEdit
{
    std::string content; ///< the whole file with the new password; only when `problem` is empty
    std::string problem; ///< why the file cannot be changed safely, in the panel's words
};

/// Sets the password of the server entry whose user is root in `content`, a phpMyAdmin
/// configuration (PHP, any 8-bit code page), to `password` (the bytes the server was given). Only
/// the string literal of that entry's effective `['password'] = '…';` changes, written as a PHP
/// single-quoted string; every other byte stays as it was.
///
/// The file is read as PHP runs it, but only as far as a configuration is plain straight-line
/// assignments: whatever could set a server's entry out of sight of that reading (an include, a
/// condition or loop around an entry, an index that cannot be followed, a reference, a string
/// whose end depends on more than quotes) refuses the edit, as do no root entry, several, an
/// entry that does not say it keeps its password in the file (`auth_type` 'config'), and one
/// without a password assignment.
PhpMyAdminPasswordEdit SetPhpMyAdminRootPassword(std::string_view content, std::string_view password);

/// `bytes` as a PHP single-quoted string literal: every "\" and "'" escaped, so any bytes read back
/// as they were.
std::string PhpSingleQuoted(std::string_view bytes);

} // namespace larkspan
