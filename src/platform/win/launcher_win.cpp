#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/launcher.h"

#include <vector>

namespace larkspan {
namespace {

WORD ShowCommand(WindowStyle style)
{
    switch (style) {
    case WindowStyle::Hidden:
        return SW_HIDE;
    case WindowStyle::MinimizedFocus:
        return SW_SHOWMINIMIZED;
    case WindowStyle::NormalFocus:
        break;
    }
    return SW_SHOWNORMAL;
}

/// Standard handles for a hidden program: input from NUL, output and errors appended to the log.
/// Only these handles are inherited, whatever else the panel has open.
class LogRedirection final
{
public:
    explicit LogRedirection(const std::wstring& logFile)
    {
        SECURITY_ATTRIBUTES inheritable {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        m_input.Reset(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
            OPEN_EXISTING, 0, nullptr));
        m_log.Reset(::CreateFileW(logFile.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable, OPEN_ALWAYS,
            FILE_ATTRIBUTE_NORMAL, nullptr));
        // Only a file will do: a pipe or device in the log's place could block the program's output.
        if (!m_input.valid() || !m_log.valid() || ::GetFileType(m_log.get()) != FILE_TYPE_DISK)
            return;
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_attributeBuffer.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_attributeBuffer.data());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size))
            return;
        m_handles[0] = m_input.get();
        m_handles[1] = m_log.get();
        if (!::UpdateProcThreadAttribute(
                list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles, sizeof m_handles, nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(list);
            return;
        }
        m_list = list;
    }
    ~LogRedirection()
    {
        if (m_list != nullptr)
            ::DeleteProcThreadAttributeList(m_list);
    }
    LogRedirection(const LogRedirection&) = delete;
    LogRedirection& operator=(const LogRedirection&) = delete;

    /// Fills `startup` when the log could be opened; false leaves the program's output alone, since a
    /// missing log folder must never stop a server.
    bool Apply(STARTUPINFOEXW& startup) const
    {
        if (m_list == nullptr)
            return false;
        startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = m_input.get();
        startup.StartupInfo.hStdOutput = m_log.get();
        startup.StartupInfo.hStdError = m_log.get();
        startup.lpAttributeList = m_list;
        return true;
    }

private:
    UniqueHandle m_input;
    UniqueHandle m_log;
    HANDLE m_handles[2] {};
    std::vector<char> m_attributeBuffer;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

class WindowsLauncher final : public Launcher
{
public:
    explicit WindowsLauncher(std::string logFile)
        : m_logFile(std::move(logFile))
    { }

    Status LaunchProgram(const Command& command, WindowStyle style) override
    {
        const std::string name = command.program.empty() ? std::string("(no program)") : command.program;
        if (command.program.empty())
            return Status::Failure(name + ": " + SystemErrorText(ERROR_FILE_NOT_FOUND));
        std::optional<std::wstring> line = WideFromUtf8(command.commandLine());
        if (!line)
            return Status::Failure(name + ": " + SystemErrorText(ERROR_NO_UNICODE_TRANSLATION));

        STARTUPINFOEXW startup {};
        startup.StartupInfo.cb = sizeof startup.StartupInfo;
        startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
        startup.StartupInfo.wShowWindow = ShowCommand(style);
        // A console program gets a console of its own (the MySQL console), or none at all when hidden.
        DWORD flags = style == WindowStyle::Hidden ? CREATE_NO_WINDOW : CREATE_NEW_CONSOLE;

        std::optional<LogRedirection> redirection;
        if (style == WindowStyle::Hidden && !m_logFile.empty()) {
            if (const std::optional<std::wstring> log = WideFromUtf8(m_logFile))
                redirection.emplace(*log);
        }
        const bool redirected = redirection && redirection->Apply(startup);
        if (redirected) {
            startup.StartupInfo.cb = sizeof startup;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }

        PROCESS_INFORMATION process {};
        // The command line as given: Windows programs split it by the rules commandLine() quotes for.
        if (!::CreateProcessW(nullptr, line->data(), nullptr, nullptr, redirected, flags, nullptr, nullptr,
                &startup.StartupInfo, &process))
            return Status::Failure(name + ": " + SystemErrorText(::GetLastError()));
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return Status::Success();
    }

private:
    std::string m_logFile;
};

} // namespace

std::unique_ptr<Launcher> MakeSystemLauncher(std::string /*appDir*/, std::string logFile)
{
    // No stand-ins: CreateProcessW finds net, cmd, notepad.exe and explorer.exe where Windows keeps them.
    return std::make_unique<WindowsLauncher>(std::move(logFile));
}

} // namespace larkspan
