#pragma once
// Included by the Windows implementation files only.

#include <windows.h>

namespace larkspan {

/// Owns a kernel handle (file, process, snapshot, mutex) and closes it once.
class UniqueHandle final
{
public:
    explicit UniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE)
        : m_handle(handle == nullptr ? INVALID_HANDLE_VALUE : handle)
    { }
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    void Reset(HANDLE handle)
    {
        Close();
        m_handle = handle == nullptr ? INVALID_HANDLE_VALUE : handle;
    }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    /// Gives the handle up to a new owner, which closes it.
    HANDLE Release()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }
    /// Closes the handle now; false when closing failed (a late write error surfaces there).
    bool Close()
    {
        const bool closed = !valid() || ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE m_handle;
};

} // namespace larkspan
