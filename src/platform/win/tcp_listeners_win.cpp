// Listening TCP sockets and their owners from the system's TCP tables (IPv4 and IPv6), the owners'
// image names from a process snapshot.
#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/tcp_listeners.h"

#include <windows.h>

#include <algorithm>
#include <iphlpapi.h>
#include <tlhelp32.h>
#include <vector>
#include <winsock2.h>

namespace larkspan {

namespace {

// The table keeps the port in network byte order in the low 16 bits.
std::uint16_t PortOf(DWORD tablePort)
{
    return static_cast<std::uint16_t>(((tablePort & 0xFF) << 8) | ((tablePort >> 8) & 0xFF));
}

// Adds the owners of the family's listening sockets on `port`; a table that cannot be read adds none.
template <typename Table> void ListeningOwners(ULONG family, std::uint16_t port, std::vector<DWORD>& owners)
{
    std::vector<unsigned char> buffer(16 * 1024);
    // The table may grow between asking for its size and reading it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD result
            = ::GetExtendedTcpTable(buffer.data(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0);
        if (result == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size + 1024);
            continue;
        }
        if (result != NO_ERROR)
            return;
        const auto* table = reinterpret_cast<const Table*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const auto& row = table->table[i];
            if (PortOf(row.dwLocalPort) == port
                && std::find(owners.begin(), owners.end(), row.dwOwningPid) == owners.end())
                owners.push_back(row.dwOwningPid);
        }
        return;
    }
}

class TableTcpListeners final : public TcpListeners
{
public:
    std::vector<TcpListener> ListenersOn(std::uint16_t port) override
    {
        std::vector<DWORD> owners;
        ListeningOwners<MIB_TCPTABLE_OWNER_PID>(AF_INET, port, owners);
        ListeningOwners<MIB_TCP6TABLE_OWNER_PID>(AF_INET6, port, owners);
        std::vector<TcpListener> listeners;
        if (owners.empty())
            return listeners;

        UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        std::vector<bool> named(owners.size(), false);
        PROCESSENTRY32W entry {};
        entry.dwSize = sizeof entry;
        for (BOOL more = snapshot.valid() && ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            // Process id 0 in the table is an owner the system does not name (Wine gives no others).
            const auto owner = std::find(owners.begin(), owners.end(), entry.th32ProcessID);
            if (owner == owners.end() || entry.th32ProcessID == 0)
                continue;
            named[static_cast<std::size_t>(owner - owners.begin())] = true;
            listeners.push_back({static_cast<int>(entry.th32ProcessID), Utf8FromWide(entry.szExeFile)});
        }
        // An owner the snapshot does not show (the table and the snapshot are not taken at once).
        if (std::find(named.begin(), named.end(), false) != named.end())
            listeners.push_back({});
        return listeners;
    }
};

} // namespace

std::unique_ptr<TcpListeners> MakeSystemTcpListeners()
{
    return std::make_unique<TableTcpListeners>();
}

} // namespace larkspan
