#pragma once

#include "tests/support/LoopbackSockets.h"
#include "tests/support/TestCertificate.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace chronavel::testing {

// Orders header names as HTTP compares them: without regard to case.
struct HeaderNameLess {
    using is_transparent = void;
    bool operator()(const std::string& a, const std::string& b) const;
};

// One request as the server read it off the wire.
struct RecordedRequest {
    std::string method;
    std::string target; // path and query exactly as on the request line
    std::string version;
    std::map<std::string, std::string, HeaderNameLess> headers; // repeated names joined with ", "
    std::string body;                                           // as sent, chunked encoding undone
};

// What the server does with a request.
struct ScriptedResponse {
    enum class Behaviour {
        Answer,      // sends the status line, headers and body below
        NeverAnswer, // reads the request, then sends nothing until the client leaves or the server stops
        // Given to respond(ScriptedResponse): closes each connection as soon as
        // it is accepted, before the TLS handshake. Returned by a Handler:
        // closes it after reading the request, without an answer.
        CloseAtOnce,
    };

    Behaviour behaviour = Behaviour::Answer;
    std::string statusLine = "HTTP/1.1 200 OK";               // only its code is used: httplib words the reason
    std::vector<std::pair<std::string, std::string>> headers; // Content-Type is "text/plain" unless given
    std::string body;
    // Without Content-Length the body ends where the connection closes.
    bool sendContentLength = true;
    // Sends the body in pieces of this many bytes with a pause after each;
    // 0 sends it in one go.
    std::size_t pieceBytes = 0;
    std::chrono::milliseconds pauseAfterPiece{0};

    static ScriptedResponse Ok(std::string body) { return {.body = std::move(body)}; }
    static ScriptedResponse WithStatus(std::string statusLine, std::string body)
    {
        return {.statusLine = std::move(statusLine), .body = std::move(body)};
    }
    static ScriptedResponse NeverAnswer() { return {.behaviour = Behaviour::NeverAnswer}; }
    static ScriptedResponse CloseAtOnce() { return {.behaviour = Behaviour::CloseAtOnce}; }
};

// An HTTPS/1.1 server on 127.0.0.1 and ::1 at an ephemeral port: httplib's
// HTTP over a TLS layer of its own (TlsServerStream), which is also what lets
// it drop a connection before the handshake. It accepts connections itself,
// since httplib listens on one address only. Each connection ends after one
// exchange.
// It answers "200 OK" with an empty body until told otherwise.
class LoopbackHttpsServer : private httplib::Server {
public:
    using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;

    explicit LoopbackHttpsServer(const TestCertificate& certificates);
    explicit LoopbackHttpsServer(const ServerIdentity& identity);
    ~LoopbackHttpsServer() override;

    LoopbackHttpsServer(const LoopbackHttpsServer&) = delete;
    LoopbackHttpsServer& operator=(const LoopbackHttpsServer&) = delete;

    int port() const { return m_listening.port(); }

    // For every connection from now on.
    void respond(ScriptedResponse response);
    // For scripts that depend on the request; called on a server thread.
    void respond(Handler handler);

    // Every request received so far, in order of arrival.
    std::vector<RecordedRequest> requests() const;
    // For long runs, which would otherwise keep every request.
    void forgetRequests();

private:
    void Accept();
    bool process_and_close_socket(int socket) override;
    void Serve(int socket);
    void Answer(const httplib::Request& request, httplib::Response& response);
    static void Script(const ScriptedResponse& reply, int socket, httplib::Response& response);

    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> m_context;
    LoopbackSockets m_listening{SOCK_STREAM};
    std::thread m_thread;

    mutable std::mutex m_mutex;
    bool m_stopping = false;
    Handler m_handler;
    bool m_closeOnAccept = false;
    std::vector<RecordedRequest> m_requests;
    std::set<int> m_served; // sockets of the connections being served
};

} // namespace chronavel::testing
