#include "platform/win32/HostLookup.h"

#include "platform/PlatformError.h"
#include "platform/win32/WideText.h"

#include <system_error>
#include <thread>

namespace chronavel {
namespace {

HostLookup::Result Resolve(const std::wstring& host, const std::wstring& port, int family)
{
    ADDRINFOW hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    hints.ai_flags = family == AF_INET6 ? AI_V4MAPPED | AI_ALL : 0;
    ADDRINFOW* found = nullptr;
    // GetAddrInfoW returns its error rather than setting WSAGetLastError.
    const int error = GetAddrInfoW(host.c_str(), port.c_str(), &hints, &found);
    return {error, AddressList(found)};
}

} // namespace

std::shared_ptr<HostLookup> HostLookup::Start(const std::string& host, std::uint16_t port, int family, HWND window,
                                              UINT message, WPARAM tag)
{
    std::shared_ptr<HostLookup> lookup(new HostLookup(window, message, tag));
    // The thread shares the lookup, so an abandoned one can still finish.
    try {
        std::thread([lookup, wideHost = ToWide(host), widePort = std::to_wstring(port), family] {
            lookup->Finish(Resolve(wideHost, widePort, family));
        }).detach();
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
    return std::move(m_result);
}

void HostLookup::Finish(Result result)
{
    const std::lock_guard lock(m_mutex);
    m_result = std::move(result);
    if (m_window != nullptr) {
        PostMessageW(m_window, m_message, m_tag, 0);
    }
}

} // namespace chronavel
