#pragma once

#include <winsock2.h>

#include <utility>

namespace chronavel {

// Owns a Winsock socket and closes it.
class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET socket) : m_socket(socket) {}
    ~UniqueSocket() { reset(); }

    UniqueSocket(UniqueSocket&& other) noexcept : m_socket(std::exchange(other.m_socket, INVALID_SOCKET)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_socket = std::exchange(other.m_socket, INVALID_SOCKET);
        }
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SOCKET get() const { return m_socket; }
    explicit operator bool() const { return m_socket != INVALID_SOCKET; }

    void reset()
    {
        if (m_socket != INVALID_SOCKET) {
            closesocket(m_socket);
            m_socket = INVALID_SOCKET;
        }
    }

private:
    SOCKET m_socket = INVALID_SOCKET;
};

} // namespace chronavel
