#include "platform/win32/WinHttpClient.h"

#include "platform/PlatformError.h"
#include "platform/win32/UniqueInternetHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinHttpErrorText.h"

#include <windows.h>

#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

namespace chronavel {
namespace {

constexpr std::size_t ReadPieceBytes = 64 * 1024;

int ClampedMs(long ms)
{
    return static_cast<int>(std::min<long>(ms, INT_MAX));
}

bool IsTimeout(DWORD code)
{
    return code == ERROR_WINHTTP_TIMEOUT || code == WSAETIMEDOUT;
}

// Says what failed and where, by the address without its query, and which
// limit a time-out was; the code is read before anything can overwrite it.
class Failure {
public:
    explicit Failure(const HttpsAddress& address) : m_address(address) {}

    [[noreturn]] void Throw(const char* doing, const std::string& idleLimit = {}) const
    {
        const DWORD code = GetLastError();
        const std::string limit = IsTimeout(code) && !idleLimit.empty() ? ": " + idleLimit : std::string();
        throw PlatformError(std::string(doing) + " " + m_address.shown + ": " + DescribeWinHttpError(code) + limit);
    }

private:
    const HttpsAddress& m_address;
};

void SetDwordOption(HINTERNET handle, DWORD option, DWORD value, const Failure& failure)
{
    if (!WinHttpSetOption(handle, option, &value, sizeof value)) {
        failure.Throw("Could not set up the request to");
    }
}

} // namespace

void WinHttpClient::setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs)
{
    m_timeouts = CheckedTimeouts(resolveMs, connectMs, sendMs, receiveMs);
}

void WinHttpClient::Open(const std::string& method, const std::string& url, bool async)
{
    CheckOpen(async, m_sent);
    // Opening again starts the request afresh; a refused Open leaves none.
    m_address.reset();
    m_headers.clear();
    CheckMethod(method);
    m_address = ParseHttpsAddress(url);
    m_method = method;
}

void WinHttpClient::SetRequestHeader(const std::string& name, const std::string& value)
{
    if (!m_address) {
        throw PlatformError("SetRequestHeader called before Open");
    }
    CheckRequestHeader(name, value);
    m_headers.emplace_back(name, value);
}

void WinHttpClient::Send(const std::string& body)
{
    if (!m_address) {
        throw PlatformError("Send called before Open");
    }
    if (m_sent) {
        throw PlatformError("This request has already been sent");
    }
    m_sent = true;
    if (body.size() > MAXDWORD) {
        throw PlatformError("The request body is too long");
    }
    const HttpsAddress& address = *m_address;
    const Failure failure(address);
    const std::string sendLimit = "no connection within " + std::to_string(m_timeouts.connectMs)
        + " ms, or nothing could be sent for " + std::to_string(m_timeouts.sendMs) + " ms";
    const std::string receiveLimit = "nothing was received for " + std::to_string(m_timeouts.receiveMs) + " ms";

    // The machine's WinHTTP proxy setting, as other services on it use.
    const UniqueInternetHandle session(WinHttpOpen(L"Chronavel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        failure.Throw("Could not start WinHTTP for");
    }
    SetDwordOption(session.get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER, failure);
    const UniqueInternetHandle connection(WinHttpConnect(session.get(), ToWide(address.host).c_str(), address.port, 0));
    if (!connection) {
        failure.Throw("Could not set up the request to");
    }
    // The target goes out as given: WinHTTP would otherwise escape it again.
    const UniqueInternetHandle request(
        WinHttpOpenRequest(connection.get(), ToWide(m_method).c_str(), ToWide(address.target).c_str(), nullptr,
                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                           WINHTTP_FLAG_SECURE | WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
    if (!request) {
        failure.Throw("Could not set up the request to");
    }
    // WinHttpSetTimeouts leaves the wait for the response's headers to an
    // option of its own. The receive limit bounds each read off the socket,
    // so it is an idle limit, as send's is.
    if (!WinHttpSetTimeouts(request.get(), ClampedMs(m_timeouts.resolveMs), ClampedMs(m_timeouts.connectMs),
                            ClampedMs(m_timeouts.sendMs), ClampedMs(m_timeouts.receiveMs))) {
        failure.Throw("Could not set up the request to");
    }
    SetDwordOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                   m_timeouts.receiveMs == 0 ? INFINITE : static_cast<DWORD>(ClampedMs(m_timeouts.receiveMs)), failure);
    for (const auto& [name, value] : m_headers) {
        const std::wstring line = ToWide(name + ": " + value);
        if (!WinHttpAddRequestHeaders(request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                      WINHTTP_ADDREQ_FLAG_ADD)) {
            failure.Throw("Could not set up the request to");
        }
    }

    const auto bodyBytes = static_cast<DWORD>(body.size());
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()), bodyBytes,
                            bodyBytes, 0)) {
        failure.Throw("Could not send the request to", sendLimit);
    }
    if (!WinHttpReceiveResponse(request.get(), nullptr)) {
        failure.Throw("No answer came from", receiveLimit);
    }

    std::string response;
    for (;;) {
        // Room for one byte more than allowed tells a longer response from one that fits.
        const std::size_t had = response.size();
        const std::size_t want = std::min(ReadPieceBytes, MaxResponseBytes + 1 - had);
        response.resize(had + want);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), response.data() + had, static_cast<DWORD>(want), &read)) {
            failure.Throw("Could not read the answer from", receiveLimit);
        }
        response.resize(had + read);
        if (read == 0) {
            break;
        }
        if (response.size() > MaxResponseBytes) {
            throw PlatformError("The answer from " + address.shown + " is longer than "
                                + std::to_string(MaxResponseBytes) + " bytes");
        }
    }
    m_response = std::move(response);
    m_answered = true;
}

std::string WinHttpClient::responseText() const
{
    if (!m_answered) {
        throw PlatformError("No response has been received");
    }
    return m_response;
}

std::unique_ptr<IHttpClient> WinHttpClientFactory::CreateHttpClient(const std::string& trustedCaFile)
{
    // WinHTTP verifies against the system's store alone: trusting one CA
    // instead would mean turning its checks off and redoing them here, so a
    // CA file is refused rather than silently ignored.
    if (!trustedCaFile.empty()) {
        throw PlatformError("A CA file cannot be trusted on Windows, only the system's trust store: \"" + trustedCaFile
                            + "\"");
    }
    return std::make_unique<WinHttpClient>();
}

} // namespace chronavel
