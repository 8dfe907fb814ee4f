#include "platform/curl/CurlHttpClient.h"

#include "platform/PlatformError.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <mutex>
#include <string_view>
#include <utility>

namespace chronavel {
namespace {

using Clock = std::chrono::steady_clock;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringDeleter {
    void operator()(char* text) const { curl_free(text); }
};

using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

void InitialiseCurl()
{
    // Never cleaned up: handles may be made until the process ends.
    static std::once_flag once;
    std::call_once(once, [] {
        const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (code != CURLE_OK) {
            throw PlatformError(std::string("Could not initialise libcurl: ") + curl_easy_strerror(code));
        }
    });
}

template <typename Value>
void SetOption(CURL* easy, CURLoption option, Value value)
{
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK) {
        throw PlatformError(std::string("libcurl refused a request setting: ") + curl_easy_strerror(code));
    }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

std::string EncodeSpaces(const std::string& url)
{
    std::string encoded;
    encoded.reserve(url.size());
    for (const char c : url) {
        if (c == ' ') {
            encoded += "%20";
        } else {
            encoded += c;
        }
    }
    return encoded;
}

// The address as far as its path: the query may hold a secret (the service's
// key), and error texts reach the user's screen.
std::string WithoutQuery(const std::string& url)
{
    return url.substr(0, url.find_first_of("?#"));
}

// Failure texts from curl itself may quote the address; never its query.
std::string WithoutTheQueryOf(std::string text, const std::string& url)
{
    const std::size_t queryStart = url.find_first_of("?#");
    if (queryStart == std::string::npos) {
        return text;
    }
    const std::string query = url.substr(queryStart);
    for (std::size_t at = text.find(query); at != std::string::npos; at = text.find(query, at)) {
        text.replace(at, query.size(), "?...");
    }
    return text;
}

void RequireHttpsUrl(const std::string& url)
{
    const UrlHandle parsed(curl_url());
    if (!parsed) {
        throw PlatformError("Out of memory reading the address");
    }
    const CURLUcode parseCode = curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_PATH_AS_IS);
    if (parseCode != CURLUE_OK) {
        throw PlatformError("Invalid address \"" + WithoutQuery(url) + "\": " + curl_url_strerror(parseCode));
    }
    char* scheme = nullptr;
    const CURLUcode schemeCode = curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0);
    const CurlString ownedScheme(scheme);
    if (schemeCode != CURLUE_OK || !scheme || !EqualsIgnoringCase(scheme, "https")) {
        throw PlatformError("Only https:// addresses are allowed, not \"" + WithoutQuery(url) + "\"");
    }
}

long ConnectBudgetMs(long resolveMs, long connectMs)
{
    // curl counts resolving the name as part of connecting, so a resolve limit
    // widens the connect limit. curl reads 0 as its 300 s default, so "no
    // limit" is the largest value it accepts.
    if (connectMs == 0) {
        return INT_MAX;
    }
    return std::min<long>(connectMs + resolveMs, INT_MAX);
}

// What one Send needs inside curl's callbacks.
struct Transfer {
    CURL* easy = nullptr;
    long sendIdleMs = 0;
    long receiveIdleMs = 0;
    std::string body;
    bool tooLong = false;
    bool transferring = false;
    curl_off_t lastUploaded = 0;
    Clock::time_point lastProgress;
    std::string idleFailure;
};

std::size_t ReceiveBody(char* data, std::size_t size, std::size_t count, void* context)
{
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (bytes > CurlHttpClient::MaxResponseBytes - transfer.body.size()) {
        transfer.tooLong = true;
        return CURL_WRITEFUNC_ERROR;
    }
    transfer.body.append(data, bytes);
    transfer.lastProgress = Clock::now();
    return bytes;
}

std::size_t ReceiveHeader(char*, std::size_t size, std::size_t count, void* context)
{
    static_cast<Transfer*>(context)->lastProgress = Clock::now();
    return size * count;
}

// The send and receive limits are idle limits, checked here rather than with
// CURLOPT_LOW_SPEED_*: curl averages speed over several seconds, so a request
// that went out in a burst would be given up seconds late.
int CheckIdle(void* context, curl_off_t, curl_off_t, curl_off_t uploadTotal, curl_off_t uploaded)
{
    auto& transfer = *static_cast<Transfer*>(context);
    const Clock::time_point now = Clock::now();

    // Until the connection stands only the connect limit applies.
    curl_off_t pretransferUs = 0;
    if (!transfer.transferring) {
        if (curl_easy_getinfo(transfer.easy, CURLINFO_PRETRANSFER_TIME_T, &pretransferUs) != CURLE_OK
            || pretransferUs == 0) {
            return 0;
        }
        transfer.transferring = true;
        transfer.lastUploaded = uploaded;
        transfer.lastProgress = now;
        return 0;
    }
    if (uploaded != transfer.lastUploaded) {
        transfer.lastUploaded = uploaded;
        transfer.lastProgress = now;
        return 0;
    }

    const bool sending = uploaded < uploadTotal;
    const long limitMs = sending ? transfer.sendIdleMs : transfer.receiveIdleMs;
    if (limitMs > 0 && now - transfer.lastProgress >= std::chrono::milliseconds(limitMs)) {
        transfer.idleFailure = std::string(sending ? "nothing could be sent" : "nothing was received") + " for "
            + std::to_string(limitMs) + " ms";
        return 1;
    }
    return 0;
}

} // namespace

struct CurlHttpClient::Handles {
    EasyHandle easy;
    HeaderList headers;
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

CurlHttpClient::CurlHttpClient(std::string trustedCaFile)
    : m_handles(std::make_unique<Handles>())
    , m_trustedCaFile(std::move(trustedCaFile))
{
    InitialiseCurl();
    m_handles->easy.reset(curl_easy_init());
    if (!m_handles->easy) {
        throw PlatformError("libcurl could not create a request");
    }
}

CurlHttpClient::~CurlHttpClient() = default;

void CurlHttpClient::setTimeouts(long resolveMs, long connectMs, long sendMs, long receiveMs)
{
    m_timeouts = CheckedTimeouts(resolveMs, connectMs, sendMs, receiveMs);
}

void CurlHttpClient::Open(const std::string& method, const std::string& url, bool async)
{
    CheckOpen(async, m_sent);
    // Opening again starts the request afresh; a refused Open leaves none.
    m_opened = false;
    m_handles->headers.reset();
    CheckMethod(method);
    std::string encoded = EncodeSpaces(url);
    RequireHttpsUrl(encoded);
    m_method = method;
    m_url = std::move(encoded);
    m_opened = true;
}

void CurlHttpClient::SetRequestHeader(const std::string& name, const std::string& value)
{
    if (!m_opened) {
        throw PlatformError("SetRequestHeader called before Open");
    }
    CheckRequestHeader(name, value);
    // "Name:" alone would tell curl to drop a header of its own; "Name;" sends it empty.
    const std::string line = value.empty() ? name + ";" : name + ": " + value;
    curl_slist* const list = curl_slist_append(m_handles->headers.get(), line.c_str());
    if (!list) {
        throw PlatformError("Out of memory adding a request header");
    }
    static_cast<void>(m_handles->headers.release());
    m_handles->headers.reset(list);
}

void CurlHttpClient::Send(const std::string& body)
{
    if (!m_opened) {
        throw PlatformError("Send called before Open");
    }
    if (m_sent) {
        throw PlatformError("This request has already been sent");
    }
    m_sent = true;

    CURL* const easy = m_handles->easy.get();
    Transfer transfer;
    transfer.easy = easy;
    transfer.sendIdleMs = m_timeouts.sendMs;
    transfer.receiveIdleMs = m_timeouts.receiveMs;

    SetOption(easy, CURLOPT_URL, m_url.c_str());
    SetOption(easy, CURLOPT_PATH_AS_IS, 1L);
    SetOption(easy, CURLOPT_PROTOCOLS_STR, "https");
    SetOption(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    SetOption(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // One small request gains nothing from HTTP/2; 1.1 keeps the wire plain.
    SetOption(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    SetOption(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    SetOption(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_trustedCaFile.empty()) {
        SetOption(easy, CURLOPT_CAINFO, m_trustedCaFile.c_str());
        // Otherwise the system's certificate directory would be trusted as well.
        SetOption(easy, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    }
    SetOption(easy, CURLOPT_NOSIGNAL, 1L);
    SetOption(easy, CURLOPT_ERRORBUFFER, m_handles->errorBuffer);
    SetOption(easy, CURLOPT_CONNECTTIMEOUT_MS, ConnectBudgetMs(m_timeouts.resolveMs, m_timeouts.connectMs));
    SetOption(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MaxResponseBytes));
    SetOption(easy, CURLOPT_WRITEFUNCTION, &ReceiveBody);
    SetOption(easy, CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    SetOption(easy, CURLOPT_HEADERFUNCTION, &ReceiveHeader);
    SetOption(easy, CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
    SetOption(easy, CURLOPT_XFERINFOFUNCTION, &CheckIdle);
    SetOption(easy, CURLOPT_XFERINFODATA, static_cast<void*>(&transfer));
    SetOption(easy, CURLOPT_NOPROGRESS, 0L);
    SetOption(easy, CURLOPT_HTTPHEADER, m_handles->headers.get());

    const bool posting = m_method == "POST" || !body.empty();
    const bool head = !posting && m_method == "HEAD";
    if (posting) {
        SetOption(easy, CURLOPT_POST, 1L);
        SetOption(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        SetOption(easy, CURLOPT_POSTFIELDS, body.data());
    } else if (head) {
        SetOption(easy, CURLOPT_NOBODY, 1L);
    } else {
        SetOption(easy, CURLOPT_HTTPGET, 1L);
    }
    const char* const curlsOwnMethod = posting ? "POST" : head ? "HEAD" : "GET";
    if (m_method != curlsOwnMethod) {
        SetOption(easy, CURLOPT_CUSTOMREQUEST, m_method.c_str());
    }

    m_handles->errorBuffer[0] = '\0';
    const CURLcode code = curl_easy_perform(easy);
    if (code != CURLE_OK) {
        std::string description;
        if (transfer.tooLong || code == CURLE_FILESIZE_EXCEEDED) {
            description = std::string(curl_easy_strerror(code)) + ": the response is longer than "
                + std::to_string(MaxResponseBytes) + " bytes";
        } else if (!transfer.idleFailure.empty()) {
            description = std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + ": " + transfer.idleFailure;
        } else {
            description = curl_easy_strerror(code);
            std::string detail = m_handles->errorBuffer;
            detail.erase(detail.find_last_not_of(" \r\n") + 1);
            if (!detail.empty() && detail != description) {
                description += ": " + detail;
            }
        }
        throw PlatformError(WithoutTheQueryOf(description, m_url));
    }
    m_response = std::move(transfer.body);
    m_answered = true;
}

std::string CurlHttpClient::responseText() const
{
    if (!m_answered) {
        throw PlatformError("No response has been received");
    }
    return m_response;
}

std::unique_ptr<IHttpClient> CurlHttpClientFactory::CreateHttpClient(const std::string& trustedCaFile)
{
    return std::make_unique<CurlHttpClient>(trustedCaFile);
}

} // namespace chronavel
