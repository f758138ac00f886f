#include "instance_guard.h"
#include "unique_handle_win.h"
#include "wide_text.h"

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

    bool TryAcquire() override
    {
        if (m_mutex.valid())
            return true;
        // Local\: one instance per logon session, as each user has a desktop of their own.
        const std::wstring name = L"Local\\" + WideFromUtf8(m_name).value_or(L"LarkspanAdmin");
        // Not inheritable: the servers the panel starts must not keep the instance alive.
        const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
        const DWORD error = ::GetLastError();
        m_mutex.reset(mutex);
        if (!m_mutex.valid()) {
            // Denied: the object exists, held by an instance running under other rights. Any other
            // failure leaves nothing that could tell a second instance: starting beats refusing.
            return error != ERROR_ACCESS_DENIED;
        }
        if (error == ERROR_ALREADY_EXISTS) {
            m_mutex.close();
            return false;
        }
        return true;
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
