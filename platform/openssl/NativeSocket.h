#pragma once

#include "platform/TlsKeyExchange.h"

#include <chrono>
#include <span>
#include <string>
#include <vector>

// What the key exchange's connection needs of the system's sockets beyond
// OpenSSL's portable calls. Each flavour defines these in its own folder
// (platform/linux, platform/win32); a socket is OpenSSL's int.
namespace chronavel::native_socket {

int StreamType(); // SOCK_STREAM

// Marks which sockets are ready, to write or to read, waiting at most
// timeout; false when waiting failed (then see LastError).
bool Poll(std::span<const int> sockets, bool forWriting, std::chrono::milliseconds timeout, std::vector<bool>& ready);

int LastError();
std::string ErrorText(int error);
// What a failed connect says of the server.
TlsKeyExchangeFailure ConnectFailure(int error);

// Makes writing to a connection the peer has closed fail on this thread
// rather than end the program (SIGPIPE).
void PrepareThread();

} // namespace chronavel::native_socket
