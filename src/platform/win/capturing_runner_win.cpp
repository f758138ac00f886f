#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/capturing_runner.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace larkspan {
namespace {

constexpr std::size_t kKeptBytes = 4u << 20;
// How long a wait may go on before a stop request is looked at.
constexpr std::chrono::milliseconds kStopSlice(50);
// Once the program has ended and its job has been ended, how long the pipes may stay open: only a
// process outside the job (handed a pipe through another process) can still hold them.
constexpr std::chrono::milliseconds kDrainAfterExit(1000);

CapturedRun NotStarted(const std::string& program, DWORD error)
{
    CapturedRun run;
    run.standardError = program + ": " + SystemErrorText(error);
    return run;
}

// Reads a pipe to its end on a thread of its own, so that neither stream can fill up and stall
// the program while the other is read. The thread owns the pipe's read end and outlives the run
// only while something outside the run still holds the other end.
class PipeReader final
{
public:
    /// Takes over `readEnd`.
    explicit PipeReader(HANDLE readEnd)
    {
        try {
            std::thread([state = m_state, readEnd] {
                char buffer[65536];
                DWORD count = 0;
                while (::ReadFile(readEnd, buffer, sizeof buffer, &count, nullptr) && count > 0) {
                    const std::lock_guard lock(state->mutex);
                    if (!state->taken && state->text.size() < kKeptBytes)
                        state->text.append(
                            buffer, std::min<std::size_t>(count, kKeptBytes - state->text.size()));
                }
                ::CloseHandle(readEnd);
                {
                    const std::lock_guard lock(state->mutex);
                    state->ended = true;
                }
                state->changed.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            ::CloseHandle(readEnd);
            m_state->ended = true;
        }
    }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    /// What the pipe gave until its end (every process holding its other end has ended), or until
    /// `until`; what comes later is read and dropped.
    std::string Take(std::chrono::steady_clock::time_point until)
    {
        std::unique_lock lock(m_state->mutex);
        m_state->changed.wait_until(lock, until, [this] { return m_state->ended; });
        m_state->taken = true;
        return std::move(m_state->text);
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        std::string text;
        bool ended = false;
        bool taken = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

class SystemCapturingRunner final : public CapturingRunner
{
public:
    CapturedRun Run(
        const Command& command, std::chrono::milliseconds timeLimit, std::stop_token stop) override
    {
        const auto deadline = std::chrono::steady_clock::now() + timeLimit;
        const Command native = NativeCommand(command);
        const std::string& program = native.program;
        const std::optional<std::wstring> application = WideFromUtf8(program);
        std::optional<std::wstring> line = WideFromUtf8(native.commandLine());
        if (!application || !line)
            return NotStarted(program, ERROR_NO_UNICODE_TRANSLATION);

        // Only the three standard handles are inherited, whatever else the panel has open.
        SECURITY_ATTRIBUTES inheritable {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        UniqueHandle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
            &inheritable, OPEN_EXISTING, 0, nullptr));
        HANDLE outputRead = nullptr;
        HANDLE outputWrite = nullptr;
        HANDLE errorRead = nullptr;
        HANDLE errorWrite = nullptr;
        if (!::CreatePipe(&outputRead, &outputWrite, &inheritable, 0))
            return NotStarted(program, ::GetLastError());
        UniqueHandle outputReadEnd(outputRead);
        UniqueHandle outputWriteEnd(outputWrite);
        if (!::CreatePipe(&errorRead, &errorWrite, &inheritable, 0))
            return NotStarted(program, ::GetLastError());
        UniqueHandle errorReadEnd(errorRead);
        UniqueHandle errorWriteEnd(errorWrite);
        ::SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(errorRead, HANDLE_FLAG_INHERIT, 0);
        if (!input.valid())
            return NotStarted(program, ::GetLastError());

        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        std::vector<char> attributeBuffer(size);
        auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
        if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size))
            return NotStarted(program, ::GetLastError());
        HANDLE inherited[] = {input.get(), outputWrite, errorWrite};
        const bool listed = ::UpdateProcThreadAttribute(
            attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited, nullptr, nullptr);
        STARTUPINFOEXW startup {};
        startup.StartupInfo.cb = sizeof startup;
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = input.get();
        startup.StartupInfo.hStdOutput = outputWrite;
        startup.StartupInfo.hStdError = errorWrite;
        startup.lpAttributeList = attributes;

        // A job holds the program and whatever it starts, so the time limit ends all of them.
        UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (job.valid())
            ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

        PROCESS_INFORMATION process {};
        const BOOL started = listed
            && ::CreateProcessW(application->c_str(), line->data(), nullptr, nullptr, TRUE,
                CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                &startup.StartupInfo, &process);
        const DWORD startError = ::GetLastError();
        ::DeleteProcThreadAttributeList(attributes);
        if (!started)
            return NotStarted(program, listed ? startError : ERROR_INVALID_PARAMETER);
        UniqueHandle processHandle(process.hProcess);
        if (job.valid())
            ::AssignProcessToJobObject(job.get(), process.hProcess);
        ::ResumeThread(process.hThread);
        ::CloseHandle(process.hThread);
        // Our copies of the writing ends go, so the pipes end with the program.
        outputWriteEnd.Close();
        errorWriteEnd.Close();
        input.Close();

        PipeReader output(outputReadEnd.Release());
        PipeReader error(errorReadEnd.Release());

        // Waited for in slices, so that a stop request is seen soon.
        DWORD waited = WAIT_TIMEOUT;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || stop.stop_requested())
                break;
            waited = ::WaitForSingleObject(
                process.hProcess, static_cast<DWORD>(std::min(left, kStopSlice).count()));
            if (waited != WAIT_TIMEOUT)
                break;
        }
        // The program's end is the end of the run; whatever it started may not outlive it, and
        // with it go the last holders of the pipes.
        if (job.valid())
            ::TerminateJobObject(job.get(), 1);
        if (waited != WAIT_OBJECT_0)
            ::TerminateProcess(process.hProcess, 1);
        const auto drainUntil = std::chrono::steady_clock::now() + kDrainAfterExit;
        CapturedRun run;
        run.standardOutput = output.Take(drainUntil);
        run.standardError = error.Take(drainUntil);
        DWORD code = 0;
        if (waited != WAIT_OBJECT_0)
            run.outcome = CapturedRun::Outcome::TimedOut;
        else if (!::GetExitCodeProcess(process.hProcess, &code) || (code & 0xC0000000u) == 0xC0000000u)
            run.outcome = CapturedRun::Outcome::Crashed;
        else {
            run.outcome = CapturedRun::Outcome::Exited;
            run.exitCode = static_cast<int>(code);
        }
        return run;
    }
};

} // namespace

std::unique_ptr<CapturingRunner> MakeSystemCapturingRunner()
{
    return std::make_unique<SystemCapturingRunner>();
}

} // namespace larkspan
