#include "platform/win32/HostLookup.h"

#include "platform/PlatformError.h"
#include "platform/win32/WideText.h"

#include <ws2tcpip.h>

#include <system_error>
#include <thread>

namespace chronavel {
namespace {

struct AddressListDeleter {
    void operator()(ADDRINFOW* list) const noexcept { FreeAddrInfoW(list); }
};

HostLookup::Result Resolve(const std::wstring& host)
{
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    ADDRINFOW* found = nullptr;
    // GetAddrInfoW returns its error rather than setting WSAGetLastError.
    const int error = GetAddrInfoW(host.c_str(), nullptr, &hints, &found);
    const std::unique_ptr<ADDRINFOW, AddressListDeleter> list(found);
    if (error != 0) {
        return {error, {}};
    }
    if (list == nullptr || list->ai_addr == nullptr) {
        return {WSANO_DATA, {}};
    }
    return {0, reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr};
}

} // namespace

std::shared_ptr<HostLookup> HostLookup::Start(const std::string& host, HWND window, UINT message, WPARAM tag)
{
    std::shared_ptr<HostLookup> lookup(new HostLookup(window, message, tag));
    // The thread shares the lookup, so an abandoned one can still finish.
    try {
        std::thread([lookup, wideHost = ToWide(host)] { lookup->Finish(Resolve(wideHost)); }).detach();
    } catch (const std::system_error& failure) {
        throw PlatformError(failure.what());
    }
    return lookup;
}

void HostLookup::Abandon()
{
    const std::lock_guard lock(m_mutex);
    m_window = nullptr;
}

HostLookup::Result HostLookup::TakeResult()
{
    const std::lock_guard lock(m_mutex);
    return m_result;
}

void HostLookup::Finish(Result result)
{
    const std::lock_guard lock(m_mutex);
    m_result = result;
    if (m_window != nullptr) {
        PostMessageW(m_window, m_message, m_tag, 0);
    }
}

} // namespace chronavel
