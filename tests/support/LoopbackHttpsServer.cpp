#include "tests/support/LoopbackHttpsServer.h"

#include "tests/support/OpenSslError.h"
#include "tests/support/TlsServerStream.h"

#include <openssl/err.h>

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string_view>

namespace chronavel::testing {
namespace {

// A client that stalls in the handshake or its request is dropped after this long.
constexpr timeval SocketTimeout{5, 0};
// How long a closing connection waits for the client to read the rest.
constexpr int LingerMs = 2000;
// Spare workers, so that a client left waiting does not hold up the next.
constexpr std::size_t Workers = 4;
// Every path, line breaks included.
const char* const AnyPath = R"([\s\S]*)";

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The header lines of a request head httplib has already accepted.
decltype(RecordedRequest::headers) ParseHeaders(std::string_view received)
{
    decltype(RecordedRequest::headers) headers;
    const std::string_view head = received.substr(0, received.find("\r\n\r\n"));
    std::size_t start = head.find("\r\n"); // past the request line
    while (start != std::string_view::npos) {
        start += 2;
        const std::size_t end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, end == std::string_view::npos ? end : end - start);
        if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            const std::string_view value = Trim(line.substr(colon + 1));
            const auto [entry, inserted] = headers.try_emplace(std::string(line.substr(0, colon)), value);
            if (!inserted) {
                entry->second.append(", ").append(value);
            }
        }
        start = end;
    }
    return headers;
}

// Sends close_notify, without which an OpenSSL 3 client takes a body that
// ends with the connection for a truncated one; then lets the client read the
// rest, since closing with its data unread would reset the connection.
void CloseGracefully(SSL* ssl, int socket)
{
    SSL_shutdown(ssl);
    ::shutdown(socket, SHUT_WR);
    char scratch[4096];
    pollfd entry{socket, POLLIN, 0};
    while (::poll(&entry, 1, LingerMs) > 0 && ::recv(socket, scratch, sizeof scratch, 0) > 0) {}
}

// Whether ms pass without the client leaving (its close_notify and end show
// as readable) or the server stopping (which shuts the socket); -1 waits
// until one of those.
bool Quiet(int socket, int ms)
{
    pollfd entry{socket, POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&entry, 1, ms)) < 0 && errno == EINTR) {}
    return ready == 0;
}

} // namespace

bool HeaderNameLess::operator()(const std::string& a, const std::string& b) const
{
    return ::strcasecmp(a.c_str(), b.c_str()) < 0;
}

LoopbackHttpsServer::LoopbackHttpsServer(const TestCertificate& certificates)
    : LoopbackHttpsServer(certificates.server())
{
}

LoopbackHttpsServer::LoopbackHttpsServer(const ServerIdentity& identity)
    : m_context(SSL_CTX_new(TLS_server_method()), &SSL_CTX_free)
    , m_handler([](const RecordedRequest&) { return ScriptedResponse{}; })
{
    if (!m_context || SSL_CTX_use_certificate_chain_file(m_context.get(), identity.certificateFile.c_str()) != 1
        || SSL_CTX_use_PrivateKey_file(m_context.get(), identity.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        throw std::runtime_error(DescribeOpenSslError("LoopbackHttpsServer: loading " + identity.certificateFile));
    }
    const auto answer
        = [this](const httplib::Request& request, httplib::Response& response) { Answer(request, response); };
    Get(AnyPath, answer);
    Post(AnyPath, answer);
    Put(AnyPath, answer);
    Patch(AnyPath, answer);
    Delete(AnyPath, answer);
    Options(AnyPath, answer);

    m_listening.Listen();
    // httplib writes a body only while it has a listening socket.
    svr_sock_ = m_listening.sockets().front();
    m_thread = std::thread([this] {
        // A client that hangs up mid-response must end the write, not the
        // process; the workers this thread starts inherit the mask.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        Accept();
    });
}

LoopbackHttpsServer::~LoopbackHttpsServer()
{
    {
        // Ends every wait on a connection at once, the handshake's included.
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (const int socket : m_served) {
            ::shutdown(socket, SHUT_RDWR);
        }
        svr_sock_ = INVALID_SOCKET;
    }
    m_thread.join();
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

void LoopbackHttpsServer::Accept()
{
    std::vector<pollfd> listening;
    for (const int socket : m_listening.sockets()) {
        listening.push_back({socket, POLLIN, 0});
    }
    httplib::ThreadPool workers(Workers);
    for (;;) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping) {
                break;
            }
        }
        if (::poll(listening.data(), listening.size(), 20) <= 0) {
            continue;
        }
        for (const pollfd& entry : listening) {
            const int socket = (entry.revents & POLLIN) != 0 ? ::accept4(entry.fd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
            if (socket >= 0) {
                workers.enqueue([this, socket] { process_and_close_socket(socket); });
            }
        }
    }
    workers.shutdown();
}

bool LoopbackHttpsServer::process_and_close_socket(int socket)
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

void LoopbackHttpsServer::Serve(int socket)
{
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &SocketTimeout, sizeof SocketTimeout);
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &SocketTimeout, sizeof SocketTimeout);
    const std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(m_context.get()), &SSL_free);
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

void LoopbackHttpsServer::Answer(const httplib::Request& request, httplib::Response& response)
{
    TlsServerStream& stream = *static_cast<TlsServerStream*>(SSL_get_app_data(request.ssl));
    const RecordedRequest recorded{request.method, request.target, request.version, ParseHeaders(stream.received()),
                                   request.body};
    Handler handler;
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(recorded);
        handler = m_handler;
    }
    const ScriptedResponse reply = handler(recorded);

    switch (reply.behaviour) {
    case ScriptedResponse::Behaviour::NeverAnswer:
        Quiet(stream.socket(), -1);
        stream.mute();
        return;
    case ScriptedResponse::Behaviour::CloseAtOnce:
        stream.mute();
        return;
    case ScriptedResponse::Behaviour::Answer:
        Script(reply, stream.socket(), response);
        return;
    }
}

void LoopbackHttpsServer::Script(const ScriptedResponse& reply, int socket, httplib::Response& response)
{
    response.status = std::stoi(reply.statusLine.substr(reply.statusLine.find(' ') + 1));
    std::string type = "text/plain";
    for (const auto& [name, value] : reply.headers) {
        if (::strcasecmp(name.c_str(), "Content-Type") == 0) {
            type = value;
        } else {
            response.set_header(name, value);
        }
    }

    // Content providers rather than set_content, which would compress the
    // body for a client that offers to accept that.
    const auto body = std::make_shared<const std::string>(reply.body);
    const std::size_t piece = reply.pieceBytes > 0 ? reply.pieceBytes : body->size();
    const int pauseMs = static_cast<int>(reply.pauseAfterPiece.count());
    const auto provide = [body, piece, socket, pauseMs](std::size_t offset, httplib::DataSink& sink) {
        return sink.write(body->data() + offset, std::min(piece, body->size() - offset)) && Quiet(socket, pauseMs);
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

} // namespace chronavel::testing
