#include "platform/curl/CurlHttpClient.h"

#include "platform/PlatformError.h"

#include <curl/curl.h>

#include <chrono>
#include <climits>
#include <memory>
#include <mutex>

namespace chronavel {
namespace {

using Clock = std::chrono::steady_clock;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// What one transfer needs inside curl's callbacks.
struct Transfer {
    CURL* easy = nullptr;
    HttpTimeouts timeouts;
    std::string body;
    bool tooLong = false;
    std::optional<Clock::time_point> sendingSince;
    std::optional<Clock::time_point> receivingSince;
    const char* overLimit = nullptr;
};

EasyHandle NewEasyHandle()
{
    // Never cleaned up: handles may be made until the process ends.
    static std::once_flag once;
    std::call_once(once, [] {
        if (const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
            throw PlatformError(std::string("Could not initialise libcurl: ") + curl_easy_strerror(code));
        }
    });
    EasyHandle easy(curl_easy_init());
    if (!easy) {
        throw PlatformError("libcurl could not create a request");
    }
    return easy;
}

template <typename Value>
void SetOption(CURL* easy, CURLoption option, Value value)
{
    if (const CURLcode code = curl_easy_setopt(easy, option, value); code != CURLE_OK) {
        throw PlatformError(std::string("libcurl refused a request setting: ") + curl_easy_strerror(code));
    }
}

std::size_t ReceiveBody(char* data, std::size_t size, std::size_t count, void* context)
{
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (bytes > MaxResponseBytes - transfer.body.size()) {
        transfer.tooLong = true;
        return CURL_WRITEFUNC_ERROR;
    }
    transfer.body.append(data, bytes);
    return bytes;
}

// The send limit bounds sending the request once connected, the receive
// limit the whole response from the end of sending: a server that trickles
// its answer is given up as one that sends nothing.
int CheckLimits(void* context, curl_off_t, curl_off_t, curl_off_t uploadTotal, curl_off_t uploaded)
{
    auto& transfer = *static_cast<Transfer*>(context);
    const Clock::time_point now = Clock::now();
    curl_off_t pretransferUs = 0;
    if (!transfer.sendingSince) {
        if (curl_easy_getinfo(transfer.easy, CURLINFO_PRETRANSFER_TIME_T, &pretransferUs) != CURLE_OK
            || pretransferUs == 0) {
            return 0; // until the connection stands only the connect limit applies
        }
        transfer.sendingSince = now;
    }
    if (!transfer.receivingSince && uploaded >= uploadTotal) {
        transfer.receivingSince = now;
    }
    const auto over = [&](Clock::time_point since, long limitMs) {
        return limitMs > 0 && now - since >= std::chrono::milliseconds(limitMs);
    };
    if (transfer.receivingSince ? over(*transfer.receivingSince, transfer.timeouts.receiveMs)
                                : over(*transfer.sendingSince, transfer.timeouts.sendMs)) {
        transfer.overLimit = transfer.receivingSince ? "the response took longer than the receive limit"
                                                     : "the request took longer than the send limit";
        return 1;
    }
    return 0;
}

HeaderList HeaderLines(const std::vector<std::pair<std::string, std::string>>& headers)
{
    HeaderList list;
    for (const auto& [name, value] : headers) {
        // "Name:" alone would tell curl to drop a header of its own; "Name;" sends it empty.
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        curl_slist* const longer = curl_slist_append(list.get(), line.c_str());
        if (!longer) {
            throw PlatformError("Out of memory adding a request header");
        }
        static_cast<void>(list.release());
        list.reset(longer);
    }
    return list;
}

void SetUp(CURL* easy, const char* url, const curl_slist* headers, const std::string& body,
           const std::string& trustedCaFile, Transfer& transfer)
{
    SetOption(easy, CURLOPT_URL, url);
    SetOption(easy, CURLOPT_PATH_AS_IS, 1L);
    SetOption(easy, CURLOPT_PROTOCOLS_STR, "https");
    SetOption(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // One small request gains nothing from HTTP/2; 1.1 keeps the wire plain.
    SetOption(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    SetOption(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    SetOption(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!trustedCaFile.empty()) {
        SetOption(easy, CURLOPT_CAINFO, trustedCaFile.c_str());
        // Otherwise the system's certificate directory would be trusted as well.
        SetOption(easy, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    }
    SetOption(easy, CURLOPT_NOSIGNAL, 1L);
    // curl reads 0 as its 300 s default, so "no limit" is the largest value it accepts.
    const long connectMs = ConnectLimitMs(transfer.timeouts);
    SetOption(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs == 0 ? INT_MAX : connectMs);
    SetOption(easy, CURLOPT_WRITEFUNCTION, &ReceiveBody);
    SetOption(easy, CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    SetOption(easy, CURLOPT_XFERINFOFUNCTION, &CheckLimits);
    SetOption(easy, CURLOPT_XFERINFODATA, static_cast<void*>(&transfer));
    SetOption(easy, CURLOPT_NOPROGRESS, 0L);
    SetOption(easy, CURLOPT_HTTPHEADER, headers);
    SetOption(easy, CURLOPT_POST, 1L);
    SetOption(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    SetOption(easy, CURLOPT_POSTFIELDS, body.data());
}

} // namespace

std::string CurlHttpClient::Perform(const Request& request, const std::string& body)
{
    const EasyHandle easy = NewEasyHandle();
    const HeaderList headers = HeaderLines(request.headers);
    Transfer transfer{.easy = easy.get(), .timeouts = request.timeouts};
    SetUp(easy.get(), request.url.c_str(), headers.get(), body, m_trustedCaFile, transfer);

    // curl's own texts never quote the address; its error buffer, left unset, would.
    const CURLcode code = curl_easy_perform(easy.get());
    if (transfer.tooLong) {
        throw PlatformError("The response is longer than " + std::to_string(MaxResponseBytes) + " bytes");
    }
    if (transfer.overLimit) {
        throw PlatformError(std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + ": " + transfer.overLimit);
    }
    if (code != CURLE_OK) {
        throw PlatformError(curl_easy_strerror(code));
    }
    return std::move(transfer.body);
}

std::unique_ptr<IHttpClient> CurlHttpClientFactory::CreateHttpClient(const std::string& trustedCaFile)
{
    return std::make_unique<CurlHttpClient>(trustedCaFile);
}

} // namespace chronavel
