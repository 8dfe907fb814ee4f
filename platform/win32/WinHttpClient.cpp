#include "platform/win32/WinHttpClient.h"

#include "platform/PlatformError.h"
#include "platform/win32/UniqueInternetHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinHttpErrorText.h"

#include <windows.h>

#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <climits>

namespace chronavel {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowLastError(const char* doing)
{
    throw PlatformError(std::string(doing) + ": " + DescribeWinHttpError(GetLastError()));
}

void Check(BOOL succeeded, const char* doing)
{
    if (!succeeded) {
        ThrowLastError(doing);
    }
}

int LimitMs(long ms)
{
    return static_cast<int>(std::min<long>(ms, INT_MAX));
}

// Session, connection and request, closed in the reverse order.
struct Handles {
    UniqueInternetHandle session;
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
};

Handles SetUp(const std::string& url, const HttpTimeouts& timeouts,
              const std::vector<std::pair<std::string, std::string>>& headers)
{
    const std::wstring wideUrl = ToWide(url);
    URL_COMPONENTS parts{.dwStructSize = sizeof(URL_COMPONENTS)};
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTPS
        || parts.dwHostNameLength == 0) {
        throw PlatformError("Invalid address");
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength)
        + std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    target = target.substr(0, target.find(L'#')); // the fragment never goes on the wire

    Handles handles;
    // The proxy the user has set, as libcurl honours https_proxy.
    handles.session.reset(WinHttpOpen(L"Chronavel", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    Check(handles.session != nullptr, "Could not start WinHTTP");
    DWORD neverRedirect = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    Check(WinHttpSetOption(handles.session.get(), WINHTTP_OPTION_REDIRECT_POLICY, &neverRedirect, sizeof neverRedirect),
          "Could not set up the request");
    handles.connection.reset(WinHttpConnect(handles.session.get(), host.c_str(), parts.nPort, 0));
    Check(handles.connection != nullptr, "Could not set up the request");
    // The target goes out as given: WinHTTP would otherwise escape it again.
    handles.request.reset(WinHttpOpenRequest(
        handles.connection.get(), L"POST", target.c_str(), nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
        WINHTTP_FLAG_SECURE | WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
    Check(handles.request != nullptr, "Could not set up the request");
    // Resolving the name counts against the connect limit, as with libcurl.
    const int connectMs = LimitMs(ConnectLimitMs(timeouts));
    Check(WinHttpSetTimeouts(handles.request.get(), connectMs, connectMs, LimitMs(timeouts.sendMs),
                             LimitMs(timeouts.receiveMs)),
          "Could not set up the request");
    // WinHttpSetTimeouts leaves the wait for the response's headers to an option of its own.
    DWORD headersMs = timeouts.receiveMs == 0 ? INFINITE : static_cast<DWORD>(LimitMs(timeouts.receiveMs));
    Check(
        WinHttpSetOption(handles.request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMs, sizeof headersMs),
        "Could not set up the request");
    for (const auto& [name, value] : headers) {
        const std::wstring line = ToWide(name + ": " + value);
        Check(WinHttpAddRequestHeaders(handles.request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                       WINHTTP_ADDREQ_FLAG_ADD),
              "Could not set up the request");
    }
    return handles;
}

// WinHTTP's receive limit bounds each read, so a trickle would restart it:
// each wait is given only what is left of the limit on the whole response.
std::string ReadResponse(HINTERNET request, const HttpTimeouts& timeouts, Clock::time_point sent)
{
    std::string response;
    for (;;) {
        if (timeouts.receiveMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                sent + std::chrono::milliseconds(timeouts.receiveMs) - Clock::now());
            if (left.count() <= 0) {
                throw PlatformError("The response took longer than the receive limit");
            }
            Check(WinHttpSetTimeouts(request, LimitMs(ConnectLimitMs(timeouts)), LimitMs(ConnectLimitMs(timeouts)),
                                     LimitMs(timeouts.sendMs), LimitMs(static_cast<long>(left.count()))),
                  "Could not read the answer");
        }
        DWORD available = 0;
        Check(WinHttpQueryDataAvailable(request, &available), "Could not read the answer");
        if (available == 0) {
            return response;
        }
        if (available > MaxResponseBytes - response.size()) {
            throw PlatformError("The response is longer than " + std::to_string(MaxResponseBytes) + " bytes");
        }
        const std::size_t had = response.size();
        response.resize(had + available);
        DWORD read = 0;
        Check(WinHttpReadData(request, response.data() + had, available, &read), "Could not read the answer");
        response.resize(had + read);
    }
}

} // namespace

std::string WinHttpClient::Perform(const Request& request, const std::string& body)
{
    if (body.size() > MAXDWORD) {
        throw PlatformError("The request body is too long");
    }
    const Handles handles = SetUp(request.url, request.timeouts, request.headers);
    const auto bodyBytes = static_cast<DWORD>(body.size());
    Check(WinHttpSendRequest(handles.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                             body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()), bodyBytes,
                             bodyBytes, 0),
          "Could not send the request");
    const Clock::time_point sent = Clock::now();
    Check(WinHttpReceiveResponse(handles.request.get(), nullptr), "No answer came");
    return ReadResponse(handles.request.get(), request.timeouts, sent);
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
