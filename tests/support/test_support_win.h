#pragma once
// Starting, watching and ending programs in the Windows platform tests.

#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/app_dir.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace larkspan::test {

/// The helper program built beside the test (platform_helper_win.cpp).
inline std::string HelperProgram()
{
    return ExecutableDirectory() + "\\" + LARKSPAN_PLATFORM_HELPER;
}

inline std::filesystem::path WidePath(const std::string& utf8)
{
    return std::filesystem::path(WideFromUtf8(utf8).value());
}

/// A program the test started itself; ended when the object goes.
class ChildProcess final
{
public:
    /// Starts `commandLine`; with `captureOutput`, its standard output can be read line by line.
    explicit ChildProcess(const std::string& commandLine, bool captureOutput = false)
    {
        std::wstring line = WideFromUtf8(commandLine).value();
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        UniqueHandle childEnd;
        if (captureOutput) {
            SECURITY_ATTRIBUTES inheritable {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
            HANDLE read = nullptr;
            HANDLE write = nullptr;
            if (!::CreatePipe(&read, &write, &inheritable, 0))
                throw std::runtime_error("CreatePipe failed");
            ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
            m_output.Reset(read);
            childEnd.Reset(write);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = write;
            startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
            startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        }
        PROCESS_INFORMATION process {};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, captureOutput, 0, nullptr, nullptr,
                &startup, &process))
            throw std::runtime_error(
                "cannot start " + commandLine + ": " + SystemErrorText(::GetLastError()));
        ::CloseHandle(process.hThread);
        m_process.Reset(process.hProcess);
    }
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// The next line of its output, without the line end; nothing at the end of the output.
    std::optional<std::string> ReadLine()
    {
        std::string line;
        char c = 0;
        DWORD count = 0;
        while (::ReadFile(m_output.get(), &c, 1, &count, nullptr) && count == 1) {
            if (c == '\n')
                return line;
            if (c != '\r')
                line += c;
        }
        return line.empty() ? std::nullopt : std::optional<std::string>(line);
    }

    /// Its exit code once it has ended within `limit`; nothing while it still runs.
    std::optional<DWORD> Wait(std::chrono::milliseconds limit)
    {
        if (::WaitForSingleObject(m_process.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD code = 0;
        ::GetExitCodeProcess(m_process.get(), &code);
        return code;
    }

    /// Ends it at once, as a crash would, and waits until it is gone.
    void Kill()
    {
        if (!m_process.valid())
            return;
        ::TerminateProcess(m_process.get(), 9);
        ::WaitForSingleObject(m_process.get(), 10000);
        m_process.Close();
    }

private:
    UniqueHandle m_process;
    UniqueHandle m_output;
};

/// Waits up to `limit` for `condition` to hold.
template <typename Condition> bool Eventually(Condition condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace larkspan::test
