// loopback_https_server: the tests' loopback HTTPS service as a program of its
// own, for tests that run in another process (the Windows flavour's, under
// Wine). It makes fresh certificates for localhost and 127.0.0.1, listens on
// 127.0.0.1 and ::1 at an ephemeral port, prints that port as the first line of its
// standard output, and answers every request as its options say until it is
// killed or its standard input closes: a caller keeps a pipe to it open, so
// that a test that dies takes the server with it. Options: see Usage below,
// or run it with --help. A failure is one line on standard error beginning
// "Error", and exit status 1.
#include "tests/support/LoopbackHttpsServer.h"
#include "tests/support/TestCertificate.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace chronavel::testing;

constexpr const char* Usage = R"(Usage: loopback_https_server [options]

Prints the port it listens on (127.0.0.1 and ::1) as its first line of output, then
serves until killed or until its standard input closes.

Certificates, made at start for localhost and 127.0.0.1, removed at exit:
  --ca-pem FILE          write the CA certificate clients should trust, PEM
  --ca-der FILE          write the same certificate, DER
  --certificate WHICH    what the server presents:
                           trusted       issued by that CA (the default)
                           untrusted-ca  the same names, issued by another CA
                           other-host    issued by that CA for other-host.invalid only

The answer to every request:
  --status CODE          status code (default 200)
  --body TEXT            body (default empty)
  --body-size N          instead, a body of N bytes, "abc...z" repeated
  --content-type TYPE    content type (default text/plain)
  --location URL         a Location header (with a 3xx status, a redirect)
  --no-content-length    no Content-Length: the body ends with the connection
  --drip BYTES,MS        the body in pieces of BYTES, pausing MS after each
  --never-answer         read the request, then send nothing until the client leaves
  --close-after-request  read the request, then close without an answer
  --close-at-once        close each connection as it is accepted, before TLS

  --log FILE             append each request to FILE before answering it, in
                         lines that end with a line feed:
                           request N              N: the number of bytes in the body
                           METHOD TARGET VERSION  the request line as received
                           NAME: VALUE            one per header name, repeated names
                                                  joined with ", "
                           (an empty line)
                           the N bytes of the body, then a line feed
  --help                 this text
)";

struct Options {
    std::string caPem;
    std::string caDer;
    const ServerIdentity& (TestCertificate::*presented)() const = &TestCertificate::server;
    ScriptedResponse reply;
    bool closeAtOnce = false;
    std::string log;
    bool help = false;
};

std::size_t Number(const std::string& option, std::string_view text)
{
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw std::runtime_error(option + " needs a number, not \"" + std::string(text) + "\"");
    }
    return number;
}

std::string PatternOfSize(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

Options Parse(int argc, char** argv)
{
    Options options;
    std::string contentType = "text/plain";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 == argc) {
                throw std::runtime_error(option + " needs a value");
            }
            return argv[++i];
        };
        if (option == "--help") {
            options.help = true;
        } else if (option == "--ca-pem") {
            options.caPem = value();
        } else if (option == "--ca-der") {
            options.caDer = value();
        } else if (option == "--certificate") {
            const std::string which = value();
            if (which == "untrusted-ca") {
                options.presented = &TestCertificate::serverFromUntrustedCa;
            } else if (which == "other-host") {
                options.presented = &TestCertificate::serverForOtherHost;
            } else if (which != "trusted") {
                throw std::runtime_error("--certificate is trusted, untrusted-ca or other-host, not \"" + which + "\"");
            }
        } else if (option == "--status") {
            const std::size_t code = Number(option, value());
            if (code < 100 || code > 599) {
                throw std::runtime_error("--status needs a code from 100 to 599");
            }
            options.reply.statusLine = "HTTP/1.1 " + std::to_string(code);
        } else if (option == "--body") {
            options.reply.body = value();
        } else if (option == "--body-size") {
            options.reply.body = PatternOfSize(Number(option, value()));
        } else if (option == "--content-type") {
            contentType = value();
        } else if (option == "--location") {
            options.reply.headers.emplace_back("Location", value());
        } else if (option == "--no-content-length") {
            options.reply.sendContentLength = false;
        } else if (option == "--drip") {
            const std::string drip = value();
            const std::size_t comma = drip.find(',');
            if (comma == std::string::npos) {
                throw std::runtime_error("--drip needs BYTES,MS");
            }
            options.reply.pieceBytes = Number(option, std::string_view(drip).substr(0, comma));
            options.reply.pauseAfterPiece
                = std::chrono::milliseconds(Number(option, std::string_view(drip).substr(comma + 1)));
        } else if (option == "--never-answer") {
            options.reply.behaviour = ScriptedResponse::Behaviour::NeverAnswer;
        } else if (option == "--close-after-request") {
            options.reply.behaviour = ScriptedResponse::Behaviour::CloseAtOnce;
        } else if (option == "--close-at-once") {
            options.closeAtOnce = true;
        } else if (option == "--log") {
            options.log = value();
        } else {
            throw std::runtime_error("unknown option \"" + option + "\" (see --help)");
        }
    }
    options.reply.headers.emplace_back("Content-Type", contentType);
    return options;
}

void AppendToLog(std::ofstream& log, const RecordedRequest& request)
{
    log << "request " << request.body.size() << '\n'
        << request.method << ' ' << request.target << ' ' << request.version << '\n';
    for (const auto& [name, value] : request.headers) {
        log << name << ": " << value << '\n';
    }
    log << '\n' << request.body << '\n';
    log.flush();
}

// Ends the process (through the sigwait in main) when standard input closes.
void WatchStandardInput()
{
    std::thread([] {
        char buffer[256];
        while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {}
        ::kill(::getpid(), SIGTERM);
    }).detach();
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const Options options = Parse(argc, argv);
        if (options.help) {
            std::cout << Usage;
            return 0;
        }
        // Blocked before any thread starts, so that every thread inherits the
        // mask and only the sigwait below receives them.
        sigset_t ending;
        sigemptyset(&ending);
        for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
            sigaddset(&ending, number);
        }
        pthread_sigmask(SIG_BLOCK, &ending, nullptr);

        const TestCertificate certificates;
        if (!options.caPem.empty()) {
            std::filesystem::copy_file(certificates.caFile(), options.caPem,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        if (!options.caDer.empty()) {
            std::filesystem::copy_file(certificates.caDerFile(), options.caDer,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        std::ofstream log;
        if (!options.log.empty()) {
            log.open(options.log, std::ios::app | std::ios::binary);
            if (!log) {
                throw std::runtime_error("cannot open " + options.log);
            }
        }
        std::mutex logMutex;

        LoopbackHttpsServer server((certificates.*options.presented)());
        if (options.closeAtOnce) {
            server.respond(ScriptedResponse::CloseAtOnce());
        } else {
            server.respond([&](const RecordedRequest& request) {
                if (log.is_open()) {
                    const std::lock_guard lock(logMutex);
                    AppendToLog(log, request);
                    if (!log) {
                        std::cerr << "Error: cannot append to " << options.log << std::endl;
                    }
                }
                server.forgetRequests(); // the log is the record
                return options.reply;
            });
        }
        std::cout << server.port() << std::endl;

        WatchStandardInput();
        int received = 0;
        sigwait(&ending, &received);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "Error: " << error.what() << std::endl;
        return 1;
    }
}
