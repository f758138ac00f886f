#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/instance_guard.h"

namespace larkspan {

namespace {

// A named mutex exists as long as a process holds a handle to it: the system drops it when the
// holder ends in any way, so a crashed instance leaves nothing stale behind.
class MutexInstanceGuard final : public InstanceGuard
{
public:
    explicit MutexInstanceGuard(std::string name)
        : m_name(std::move(name))
    { }

    InstanceClaim TryAcquire() override
    {
        if (m_mutex.valid())
            return {};
        // Local\: one instance per logon session, as each user has a desktop of their own.
        const std::string name = "Local\\" + m_name;
        const std::optional<std::wstring> wideName = WideFromUtf8(name);
        if (!wideName)
            return {InstanceClaim::Outcome::Unavailable,
                name + ": " + SystemErrorText(ERROR_NO_UNICODE_TRANSLATION)};
        // Not inheritable: the servers the panel starts must not keep the instance alive.
        const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, wideName->c_str());
        const DWORD error = ::GetLastError();
        m_mutex.Reset(mutex);
        if (!m_mutex.valid()) {
            // Denied: the mutex exists, made by an instance running with higher rights (elevated).
            if (error == ERROR_ACCESS_DENIED)
                return {InstanceClaim::Outcome::HeldByAnother, {}};
            return {InstanceClaim::Outcome::Unavailable, name + ": " + SystemErrorText(error)};
        }
        if (error == ERROR_ALREADY_EXISTS) {
            m_mutex.Close();
            return {InstanceClaim::Outcome::HeldByAnother, {}};
        }
        return {};
    }

private:
    std::string m_name;
    UniqueHandle m_mutex;
};

} // namespace

std::unique_ptr<InstanceGuard> MakeSystemInstanceGuard(std::string name)
{
    return std::make_unique<MutexInstanceGuard>(std::move(name));
}

} // namespace larkspan
