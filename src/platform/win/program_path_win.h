#pragma once
// Included by the Windows implementation files only.

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// A program as Windows is asked to start it: the file to run and the folder it runs in.
struct ProgramPlace
{
    std::wstring file;
    std::wstring folder;
};

/// Where `program` (UTF-8, as a Command names it) is run from. A bare name (net, cmd, notepad.exe,
/// explorer.exe, mmc) is a program of the system: taken from the system folder, else the Windows
/// folder, and run in the system folder, never found in the panel's own folder or its working
/// directory, which a writable bundle could fill. A path runs in its own folder. Either way a name
/// without an extension gets ".exe", as the Windows command line finds it. Nothing when `program`
/// is empty or not UTF-8.
std::optional<ProgramPlace> PlaceOfProgram(std::string_view program);

/// The system folder (System32), without a trailing backslash.
std::wstring SystemFolder();

} // namespace larkspan
