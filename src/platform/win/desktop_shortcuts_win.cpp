#include "config/text_file.h"
#include "config/win/wide_text.h"
#include "platform/desktop_shortcuts.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

namespace larkspan {

namespace {

/// COM for the calling thread while it lives. A thread where COM already runs in the other model
/// (RPC_E_CHANGED_MODE) serves as well: the shell link works in both.
class ComApartment final
{
public:
    ComApartment()
        : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))
    { }
    ~ComApartment()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};

template <typename Interface> class ComPointer final
{
public:
    ComPointer() = default;
    ~ComPointer()
    {
        if (m_pointer != nullptr)
            m_pointer->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* operator->() const { return m_pointer; }
    Interface* get() const { return m_pointer; }
    void** out() { return reinterpret_cast<void**>(&m_pointer); }

private:
    Interface* m_pointer = nullptr;
};

/// An item ID list freed with the task allocator.
class ItemIdList final
{
public:
    ItemIdList() = default;
    ~ItemIdList() { ::CoTaskMemFree(m_list); }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;

    PIDLIST_ABSOLUTE get() const { return m_list; }
    PIDLIST_ABSOLUTE* out() { return &m_list; }

private:
    PIDLIST_ABSOLUTE m_list = nullptr;
};

Status ShellFailure(const std::string& path, HRESULT result)
{
    return Status::Failure(path + ": " + SystemErrorText(static_cast<unsigned long>(result)));
}

/// The bytes of a shell link to `item`.
HRESULT ShellLinkBytes(const ItemIdList& item, std::string& bytes)
{
    ComPointer<IShellLinkW> link;
    HRESULT result
        = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out());
    if (FAILED(result))
        return result;
    if (result = link->SetIDList(item.get()); FAILED(result))
        return result;

    ComPointer<IPersistStream> persist;
    if (result = link->QueryInterface(IID_IPersistStream, persist.out()); FAILED(result))
        return result;
    ComPointer<IStream> stream;
    if (result = ::CreateStreamOnHGlobal(nullptr, TRUE, reinterpret_cast<IStream**>(stream.out()));
        FAILED(result))
        return result;
    if (result = persist->Save(stream.get(), TRUE); FAILED(result))
        return result;
    STATSTG status {};
    if (result = stream->Stat(&status, STATFLAG_NONAME); FAILED(result))
        return result;
    HGLOBAL memory = nullptr;
    if (result = ::GetHGlobalFromStream(stream.get(), &memory); FAILED(result))
        return result;
    const void* data = ::GlobalLock(memory);
    if (data == nullptr)
        return HRESULT_FROM_WIN32(::GetLastError());
    bytes.assign(static_cast<const char*>(data), static_cast<std::size_t>(status.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return S_OK;
}

class WindowsDesktopShortcuts final : public DesktopShortcuts
{
public:
    Status FindDesktopFolder(std::string& folder) override
    {
        PWSTR known = nullptr;
        const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &known);
        std::wstring path(SUCCEEDED(result) && known != nullptr ? known : L"");
        ::CoTaskMemFree(known);
        if (FAILED(result))
            return ShellFailure("desktop folder", result);
        while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
            path.pop_back();
        const std::string found = Utf8FromWide(path);
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return Status::Failure("desktop folder " + found + ": " + SystemErrorText(::GetLastError()));
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Status::Failure("desktop folder " + found + ": " + SystemErrorText(ERROR_DIRECTORY));
        folder = found;
        return Status::Success();
    }

    Status WriteInternetShortcut(
        const std::string& folder, std::string_view name, std::string_view target) override
    {
        const bool separated = folder.ends_with('\\') || folder.ends_with('/');
        const std::string path = folder + (separated ? "" : "\\") + std::string(name);
        const std::optional<std::wstring> wideTarget = WideFromUtf8(target);
        if (!wideTarget)
            return Status::Failure(path + ": " + SystemErrorText(ERROR_NO_UNICODE_TRANSLATION));

        const ComApartment com;
        // The shell's own parse of the target: a web address becomes an item of its Internet folder.
        // IShellLinkW::SetPath takes the target for a file path (Wine then stores a broken one).
        ItemIdList item;
        if (const HRESULT result = ::SHParseDisplayName(wideTarget->c_str(), nullptr, item.out(), 0, nullptr);
            FAILED(result))
            return ShellFailure(path + ": " + std::string(target), result);
        std::string bytes;
        if (const HRESULT result = ShellLinkBytes(item, bytes); FAILED(result))
            return ShellFailure(path, result);
        // Written like every other file: a reader never sees half a shortcut.
        return WriteFileAtomically(path, bytes);
    }
};

} // namespace

std::unique_ptr<DesktopShortcuts> MakeSystemDesktopShortcuts()
{
    return std::make_unique<WindowsDesktopShortcuts>();
}

} // namespace larkspan
