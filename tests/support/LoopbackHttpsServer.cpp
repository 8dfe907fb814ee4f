#include "tests/support/LoopbackHttpsServer.h"

#include "tests/support/OpenSslError.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace chronavel::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Every wait is cut into slices this long so that a stop is noticed promptly.
constexpr int PollSliceMs = 20;
// A client that stalls in the handshake or in its request is dropped after
// this long, so one stuck connection cannot hold up the ones behind it.
constexpr auto RequestDeadline = std::chrono::seconds(30);
// How long a closing connection waits for the client to read the rest.
constexpr auto LingerDeadline = std::chrono::seconds(2);
constexpr std::size_t MaxHeaderBytes = 64 * 1024;
constexpr std::size_t MaxBodyBytes = 16 * 1024 * 1024;

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string OpenSslError(const std::string& what)
{
    return DescribeOpenSslError("LoopbackHttpsServer: " + what);
}

struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// One accepted, non-blocking connection. Every wait gives up when the server
// stops or the deadline passes.
class Connection {
public:
    Connection(SSL* ssl, int socket, const std::atomic<bool>& stopping)
        : m_ssl(ssl)
        , m_socket(socket)
        , m_stopping(stopping)
    {
    }

    void SetDeadline(std::optional<Clock::time_point> deadline) { m_deadline = deadline; }

    bool Handshake()
    {
        for (;;) {
            const int result = SSL_accept(m_ssl);
            if (result == 1) {
                return true;
            }
            if (!WaitFor(SSL_get_error(m_ssl, result))) {
                return false;
            }
        }
    }

    // 0 when the client has gone or the wait ended.
    std::size_t Read(char* buffer, std::size_t capacity)
    {
        for (;;) {
            std::size_t received = 0;
            const int result = SSL_read_ex(m_ssl, buffer, capacity, &received);
            if (result == 1) {
                return received;
            }
            if (!WaitFor(SSL_get_error(m_ssl, result))) {
                return 0;
            }
        }
    }

    bool Write(std::string_view data)
    {
        while (!data.empty()) {
            std::size_t written = 0;
            const int result = SSL_write_ex(m_ssl, data.data(), data.size(), &written);
            if (result == 1) {
                data.remove_prefix(written);
            } else if (!WaitFor(SSL_get_error(m_ssl, result))) {
                return false;
            }
        }
        return true;
    }

    // Sends close_notify, then lets the client read the rest before the
    // socket closes: closing with data unread would reset the connection.
    void Close()
    {
        SetDeadline(Clock::now() + LingerDeadline);
        for (;;) {
            const int result = SSL_shutdown(m_ssl);
            if (result >= 0 || !WaitFor(SSL_get_error(m_ssl, result))) {
                break;
            }
        }
        ::shutdown(m_socket, SHUT_WR);
        char scratch[4096];
        while (Wait(POLLIN)) {
            const ssize_t received = ::recv(m_socket, scratch, sizeof scratch, 0);
            if (received <= 0 && !(received < 0 && (errno == EAGAIN || errno == EINTR))) {
                break;
            }
        }
    }

    // Returns when the client closes its end or the wait ends.
    void WaitUntilClientLeaves()
    {
        char scratch[4096];
        while (Read(scratch, sizeof scratch) > 0) {
        }
    }

    // False if the server stopped first.
    bool Pause(std::chrono::milliseconds pause)
    {
        const Clock::time_point end = Clock::now() + pause;
        while (Clock::now() < end) {
            if (m_stopping) {
                return false;
            }
            std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(PollSliceMs),
                                                                  end - Clock::now()));
        }
        return !m_stopping;
    }

private:
    bool WaitFor(int sslError)
    {
        switch (sslError) {
        case SSL_ERROR_WANT_READ:
            return Wait(POLLIN);
        case SSL_ERROR_WANT_WRITE:
            return Wait(POLLOUT);
        default:
            ERR_clear_error();
            return false;
        }
    }

    bool Wait(short events)
    {
        for (;;) {
            if (m_stopping || (m_deadline && Clock::now() >= *m_deadline)) {
                return false;
            }
            pollfd entry{m_socket, events, 0};
            const int ready = ::poll(&entry, 1, PollSliceMs);
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    SSL* m_ssl;
    int m_socket;
    const std::atomic<bool>& m_stopping;
    std::optional<Clock::time_point> m_deadline;
};

bool ParseHead(std::string_view head, RecordedRequest& request)
{
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace) {
        return false;
    }
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = requestLine.substr(lastSpace + 1);

    std::string_view rest = lineEnd == std::string_view::npos ? std::string_view() : head.substr(lineEnd + 2);
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            return false;
        }
        const std::string name(line.substr(0, colon));
        const std::string value(Trim(line.substr(colon + 1)));
        const auto [entry, inserted] = request.headers.try_emplace(name, value);
        if (!inserted) {
            entry->second += ", " + value;
        }
    }
    return true;
}

std::optional<std::size_t> ContentLength(const RecordedRequest& request)
{
    const auto entry = request.headers.find("Content-Length");
    if (entry == request.headers.end()) {
        return 0;
    }
    const std::string& text = entry->second;
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })
        || text.size() > 9) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::stoul(text));
}

// Reads up to the end of the body Content-Length announces.
std::optional<RecordedRequest> ReadRequest(Connection& connection)
{
    std::string received;
    char buffer[16 * 1024];
    std::size_t headEnd = std::string::npos;
    while ((headEnd = received.find("\r\n\r\n")) == std::string::npos) {
        if (received.size() > MaxHeaderBytes) {
            return std::nullopt;
        }
        const std::size_t count = connection.Read(buffer, sizeof buffer);
        if (count == 0) {
            return std::nullopt;
        }
        received.append(buffer, count);
    }

    RecordedRequest request;
    if (!ParseHead(std::string_view(received).substr(0, headEnd), request)) {
        return std::nullopt;
    }
    const std::optional<std::size_t> length = ContentLength(request);
    if (!length || *length > MaxBodyBytes) {
        return std::nullopt;
    }
    const std::size_t bodyStart = headEnd + 4;
    while (received.size() - bodyStart < *length) {
        const std::size_t count = connection.Read(buffer, sizeof buffer);
        if (count == 0) {
            return std::nullopt;
        }
        received.append(buffer, count);
    }
    request.body = received.substr(bodyStart, *length);
    return request;
}

std::string ResponseHead(const ScriptedResponse& response)
{
    std::string head = response.statusLine + "\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : response.headers) {
        hasLength = hasLength || EqualsIgnoringCase(name, "Content-Length");
        head += name + ": " + value + "\r\n";
    }
    if (response.sendContentLength && !hasLength) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    return head;
}

bool SendBody(Connection& connection, const ScriptedResponse& response)
{
    if (response.pieceBytes == 0) {
        return connection.Write(response.body);
    }
    std::string_view rest = response.body;
    while (!rest.empty()) {
        const std::size_t size = std::min(rest.size(), response.pieceBytes);
        if (!connection.Write(rest.substr(0, size)) || !connection.Pause(response.pauseAfterPiece)) {
            return false;
        }
        rest.remove_prefix(size);
    }
    return true;
}

} // namespace

bool HeaderNameLess::operator()(const std::string& a, const std::string& b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

ScriptedResponse ScriptedResponse::Ok(std::string body)
{
    ScriptedResponse response;
    response.body = std::move(body);
    return response;
}

ScriptedResponse ScriptedResponse::WithStatus(std::string statusLine, std::string body)
{
    ScriptedResponse response;
    response.statusLine = std::move(statusLine);
    response.body = std::move(body);
    return response;
}

ScriptedResponse ScriptedResponse::NeverAnswer()
{
    ScriptedResponse response;
    response.behaviour = Behaviour::NeverAnswer;
    return response;
}

ScriptedResponse ScriptedResponse::CloseAtOnce()
{
    ScriptedResponse response;
    response.behaviour = Behaviour::CloseAtOnce;
    return response;
}

struct LoopbackHttpsServer::Tls {
    SSL_CTX* context = nullptr;
    ~Tls() { SSL_CTX_free(context); }
};

LoopbackHttpsServer::LoopbackHttpsServer(const TestCertificate& certificates)
    : LoopbackHttpsServer(certificates.server())
{
}

LoopbackHttpsServer::LoopbackHttpsServer(const ServerIdentity& identity)
    : m_tls(std::make_unique<Tls>())
    , m_handler([](const RecordedRequest&) { return ScriptedResponse{}; })
{
    m_tls->context = SSL_CTX_new(TLS_server_method());
    if (!m_tls->context) {
        throw std::runtime_error(OpenSslError("making a TLS context"));
    }
    SSL_CTX_set_mode(m_tls->context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(m_tls->context, identity.certificateFile.c_str()) != 1
        || SSL_CTX_use_PrivateKey_file(m_tls->context, identity.keyFile.c_str(), SSL_FILETYPE_PEM) != 1
        || SSL_CTX_check_private_key(m_tls->context) != 1) {
        throw std::runtime_error(OpenSslError("loading " + identity.certificateFile));
    }

    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listener < 0) {
        throw std::system_error(errno, std::generic_category(), "LoopbackHttpsServer: socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 16) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(m_listener);
        throw std::system_error(error, std::generic_category(), "LoopbackHttpsServer: listening");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

LoopbackHttpsServer::~LoopbackHttpsServer()
{
    m_stopping = true;
    m_thread.join();
    ::close(m_listener);
}

void LoopbackHttpsServer::respond(ScriptedResponse response)
{
    const bool closeOnAccept = response.behaviour == ScriptedResponse::Behaviour::CloseAtOnce;
    const std::lock_guard lock(m_mutex);
    m_handler = [response = std::move(response)](const RecordedRequest&) { return response; };
    m_closeOnAccept = closeOnAccept;
}

void LoopbackHttpsServer::respond(Handler handler)
{
    const std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
    m_closeOnAccept = false;
}

std::vector<RecordedRequest> LoopbackHttpsServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackHttpsServer::forgetRequests()
{
    const std::lock_guard lock(m_mutex);
    m_requests.clear();
}

void LoopbackHttpsServer::Serve()
{
    // A client that hangs up mid-response must end the write, not the test
    // process; SIGPIPE is directed at the writing thread, so blocking it here
    // is enough.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    while (!m_stopping) {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, PollSliceMs) <= 0) {
            continue;
        }
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket < 0) {
            continue;
        }
        bool closeOnAccept = false;
        {
            const std::lock_guard lock(m_mutex);
            closeOnAccept = m_closeOnAccept;
        }
        if (!closeOnAccept) {
            ServeConnection(socket);
        }
        ::close(socket);
    }
}

void LoopbackHttpsServer::ServeConnection(int socket)
{
    const std::unique_ptr<SSL, SslDeleter> ssl(SSL_new(m_tls->context));
    if (!ssl || SSL_set_fd(ssl.get(), socket) != 1) {
        ERR_clear_error();
        return;
    }
    Connection connection(ssl.get(), socket, m_stopping);
    connection.SetDeadline(Clock::now() + RequestDeadline);
    if (!connection.Handshake()) {
        return;
    }
    std::optional<RecordedRequest> request = ReadRequest(connection);
    if (!request) {
        return;
    }

    Handler handler;
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(*request);
        handler = m_handler;
    }
    const ScriptedResponse response = handler(*request);

    switch (response.behaviour) {
    case ScriptedResponse::Behaviour::NeverAnswer:
        connection.SetDeadline(std::nullopt);
        connection.WaitUntilClientLeaves();
        return;
    case ScriptedResponse::Behaviour::CloseAtOnce:
        return;
    case ScriptedResponse::Behaviour::Answer:
        connection.SetDeadline(std::nullopt);
        if (connection.Write(ResponseHead(response)) && SendBody(connection, response)) {
            connection.Close();
        }
        return;
    }
}

} // namespace chronavel::testing
