#include "tests/support/LoopbackHttpsServer.h"

#include "tests/support/OpenSslError.h"
#include "tests/support/TlsServerStream.h"

#include <httplib.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace chronavel::testing {
namespace {

using Clock = std::chrono::steady_clock;
using Headers = decltype(RecordedRequest::headers);

// Waits are cut into slices this long so that a stop is noticed promptly.
constexpr int PollSliceMs = 20;
// A client that stalls in the handshake or its request is dropped after this long.
constexpr timeval SocketTimeout{5, 0};
// How long a closing connection waits for the client to read the rest.
constexpr int LingerMs = 2000;
// Spare workers, so that a client left waiting does not hold up the next.
constexpr std::size_t Workers = 4;
// Every path, line breaks included.
const char* const AnyPath = R"([\s\S]*)";

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
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The header lines of a request head httplib has already accepted.
Headers ParseHeaders(std::string_view received)
{
    Headers headers;
    const std::string_view head = received.substr(0, received.find("\r\n\r\n"));
    std::size_t start = head.find("\r\n"); // past the request line
    while (start != std::string_view::npos) {
        start += 2;
        const std::size_t end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, end == std::string_view::npos ? end : end - start);
        if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            const std::string value(Trim(line.substr(colon + 1)));
            const auto [entry, inserted] = headers.try_emplace(std::string(line.substr(0, colon)), value);
            if (!inserted) {
                entry->second += ", " + value;
            }
        }
        start = end;
    }
    return headers;
}

struct ContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// Sends close_notify, without which an OpenSSL 3 client takes a body that
// ends with the connection for a truncated one; then lets the client read the
// rest, since closing with its data unread would reset the connection.
void CloseGracefully(SSL* ssl, int socket)
{
    SSL_shutdown(ssl);
    ::shutdown(socket, SHUT_WR);
    char scratch[4096];
    pollfd entry{socket, POLLIN, 0};
    while (::poll(&entry, 1, LingerMs) > 0 && ::recv(socket, scratch, sizeof scratch, 0) > 0) {
    }
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

// httplib's HTTP over a TLS layer of our own (see TlsServerStream), which is
// also what lets a connection be dropped before its handshake.
class LoopbackHttpsServer::Service final : public httplib::Server {
public:
    explicit Service(const ServerIdentity& identity);
    ~Service() override;

    // Listens on 127.0.0.1 and returns the port.
    int Start();

    void SetScript(LoopbackHttpsServer::Handler script, bool closeOnAccept);
    std::vector<RecordedRequest> Requests() const;
    void ForgetRequests();

private:
    bool process_and_close_socket(int socket) override;
    void Serve(int socket);
    void Answer(const httplib::Request& request, httplib::Response& response);
    void Script(const ScriptedResponse& reply, httplib::Response& response) const;
    bool PauseUnlessStopping(std::chrono::milliseconds pause) const;
    void WaitForClientToLeave(int socket) const;

    std::unique_ptr<SSL_CTX, ContextDeleter> m_context;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_listenEnded{false};
    std::thread m_thread;

    mutable std::mutex m_mutex;
    LoopbackHttpsServer::Handler m_script = [](const RecordedRequest&) { return ScriptedResponse{}; };
    bool m_closeOnAccept = false;
    std::vector<RecordedRequest> m_requests;
    std::set<int> m_served; // sockets of the connections being served
};

LoopbackHttpsServer::Service::Service(const ServerIdentity& identity)
    : m_context(SSL_CTX_new(TLS_server_method()))
{
    if (!m_context || SSL_CTX_use_certificate_chain_file(m_context.get(), identity.certificateFile.c_str()) != 1
        || SSL_CTX_use_PrivateKey_file(m_context.get(), identity.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        throw std::runtime_error(DescribeOpenSslError("LoopbackHttpsServer: loading " + identity.certificateFile));
    }
    new_task_queue = [] { return new httplib::ThreadPool(Workers); };
    const auto answer = [this](const httplib::Request& request, httplib::Response& response) {
        Answer(request, response);
    };
    Get(AnyPath, answer);
    Post(AnyPath, answer);
    Put(AnyPath, answer);
    Patch(AnyPath, answer);
    Delete(AnyPath, answer);
    Options(AnyPath, answer);
}

LoopbackHttpsServer::Service::~Service()
{
    m_stopping = true;
    {
        // Ends every wait on a connection at once, the handshake's included.
        const std::lock_guard lock(m_mutex);
        for (const int socket : m_served) {
            ::shutdown(socket, SHUT_RDWR);
        }
    }
    if (m_thread.joinable()) {
        stop();
        m_thread.join();
    }
}

int LoopbackHttpsServer::Service::Start()
{
    const int port = bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        throw std::runtime_error("LoopbackHttpsServer: cannot listen on 127.0.0.1");
    }
    m_thread = std::thread([this] {
        // A client that hangs up mid-response must end the write, not the
        // process; the workers this thread starts inherit the mask.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        listen_after_bind();
        m_listenEnded = true;
    });
    // httplib's stop() does nothing until it runs, so wait for that.
    while (!is_running()) {
        if (m_listenEnded) {
            throw std::runtime_error("LoopbackHttpsServer: httplib stopped at once");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return port;
}

void LoopbackHttpsServer::Service::SetScript(LoopbackHttpsServer::Handler script, bool closeOnAccept)
{
    const std::lock_guard lock(m_mutex);
    m_script = std::move(script);
    m_closeOnAccept = closeOnAccept;
}

std::vector<RecordedRequest> LoopbackHttpsServer::Service::Requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackHttpsServer::Service::ForgetRequests()
{
    const std::lock_guard lock(m_mutex);
    m_requests.clear();
}

bool LoopbackHttpsServer::Service::process_and_close_socket(int socket)
{
    bool serve = false;
    {
        const std::lock_guard lock(m_mutex);
        serve = !m_closeOnAccept && !m_stopping;
        if (serve) {
            m_served.insert(socket);
        }
    }
    if (serve) {
        Serve(socket);
        const std::lock_guard lock(m_mutex);
        m_served.erase(socket);
    }
    ERR_clear_error();
    ::close(socket);
    return true;
}

void LoopbackHttpsServer::Service::Serve(int socket)
{
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &SocketTimeout, sizeof SocketTimeout);
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &SocketTimeout, sizeof SocketTimeout);
    const std::unique_ptr<SSL, SslDeleter> ssl(SSL_new(m_context.get()));
    if (!ssl || SSL_set_fd(ssl.get(), socket) != 1 || SSL_accept(ssl.get()) != 1) {
        return;
    }
    TlsServerStream stream(ssl.get(), socket);
    SSL_set_app_data(ssl.get(), &stream);
    bool closed = false;
    process_request(stream, true, closed, [&ssl](httplib::Request& request) { request.ssl = ssl.get(); });
    if (!stream.muted()) {
        CloseGracefully(ssl.get(), socket);
    }
}

void LoopbackHttpsServer::Service::Answer(const httplib::Request& request, httplib::Response& response)
{
    TlsServerStream& stream = *static_cast<TlsServerStream*>(SSL_get_app_data(request.ssl));
    const RecordedRequest recorded{request.method, request.target, request.version,
                                   ParseHeaders(stream.received()), request.body};
    LoopbackHttpsServer::Handler script;
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(recorded);
        script = m_script;
    }
    const ScriptedResponse reply = script(recorded);

    switch (reply.behaviour) {
    case ScriptedResponse::Behaviour::NeverAnswer:
        WaitForClientToLeave(stream.socket());
        stream.mute();
        return;
    case ScriptedResponse::Behaviour::CloseAtOnce:
        stream.mute();
        return;
    case ScriptedResponse::Behaviour::Answer:
        Script(reply, response);
        return;
    }
}

void LoopbackHttpsServer::Service::Script(const ScriptedResponse& reply, httplib::Response& response) const
{
    response.status = std::stoi(reply.statusLine.substr(reply.statusLine.find(' ') + 1));
    std::string type = "text/plain";
    for (const auto& [name, value] : reply.headers) {
        if (EqualsIgnoringCase(name, "Content-Type")) {
            type = value;
        } else {
            response.set_header(name, value);
        }
    }

    // Content providers rather than set_content, which would compress the
    // body for a client that offers to accept that.
    const auto body = std::make_shared<const std::string>(reply.body);
    const std::size_t piece = reply.pieceBytes > 0 ? reply.pieceBytes : body->size();
    const auto provide = [this, body, piece, pause = reply.pauseAfterPiece](std::size_t offset,
                                                                            httplib::DataSink& sink) {
        const std::size_t size = std::min(piece, body->size() - offset);
        return sink.write(body->data() + offset, size) && PauseUnlessStopping(pause);
    };
    if (!reply.sendContentLength) {
        response.set_content_provider(type, [provide, body](std::size_t offset, httplib::DataSink& sink) {
            if (offset == body->size()) {
                sink.done();
                return true;
            }
            return provide(offset, sink);
        });
    } else if (body->empty()) {
        response.set_content("", type);
    } else {
        response.set_content_provider(
            body->size(), type,
            [provide](std::size_t offset, std::size_t, httplib::DataSink& sink) { return provide(offset, sink); });
    }
}

bool LoopbackHttpsServer::Service::PauseUnlessStopping(std::chrono::milliseconds pause) const
{
    const Clock::time_point end = Clock::now() + pause;
    while (!m_stopping && Clock::now() < end) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(PollSliceMs), end - Clock::now()));
    }
    return !m_stopping;
}

// A client that leaves makes the socket readable: close_notify, then the end.
void LoopbackHttpsServer::Service::WaitForClientToLeave(int socket) const
{
    pollfd entry{socket, POLLIN, 0};
    while (!m_stopping && ::poll(&entry, 1, PollSliceMs) == 0) {
    }
}

LoopbackHttpsServer::LoopbackHttpsServer(const TestCertificate& certificates)
    : LoopbackHttpsServer(certificates.server())
{
}

LoopbackHttpsServer::LoopbackHttpsServer(const ServerIdentity& identity)
    : m_service(std::make_unique<Service>(identity))
    , m_port(m_service->Start())
{
}

LoopbackHttpsServer::~LoopbackHttpsServer() = default;

void LoopbackHttpsServer::respond(ScriptedResponse response)
{
    const bool closeOnAccept = response.behaviour == ScriptedResponse::Behaviour::CloseAtOnce;
    m_service->SetScript([response = std::move(response)](const RecordedRequest&) { return response; },
                         closeOnAccept);
}

void LoopbackHttpsServer::respond(Handler handler)
{
    m_service->SetScript(std::move(handler), false);
}

std::vector<RecordedRequest> LoopbackHttpsServer::requests() const
{
    return m_service->Requests();
}

void LoopbackHttpsServer::forgetRequests()
{
    m_service->ForgetRequests();
}

} // namespace chronavel::testing
