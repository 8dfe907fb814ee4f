#pragma once

#include "tests/support/TestCertificate.h"

#include <QProcess>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace chronavel::testing {

// A real chronyd on 127.0.0.1 and ::1 at free ports, in the foreground and never
// steering the system clock, serving NTP and, when given a certificate, NTS
// key establishment too. Stopped with the object.
class ChronyServer {
public:
    struct Nts {
        ServerIdentity identity;
        // The NTP server the key exchange names (ntsntpserver), so that a test
        // can put something between client and chronyd; empty: none named.
        std::string ntpServer = {};
        bool ipv4Only = false; // nothing of chronyd's on IPv6
    };

    // Returns once chronyd runs (and accepts key exchanges, with NTS); throws
    // std::runtime_error with chronyd's own words when it does not come up.
    explicit ChronyServer(std::optional<Nts> nts = std::nullopt);
    ~ChronyServer();
    ChronyServer(const ChronyServer&) = delete;
    ChronyServer& operator=(const ChronyServer&) = delete;

    int ntpPort() const { return m_ntpPort; }
    int keyExchangePort() const { return m_keyExchangePort; } // 0 without NTS

    // Empty when chrony is not installed.
    static std::string Executable();

private:
    void WaitUntilAcceptingKeyExchanges();

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_ntpPort = 0;
    int m_keyExchangePort = 0;
    bool m_bIpv6 = false; // serving on ::1 too
};

} // namespace chronavel::testing
