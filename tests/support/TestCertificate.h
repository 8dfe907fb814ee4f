#pragma once

#include <string>

namespace chronavel::testing {

// A key pair and certificate a TLS server can present.
struct ServerIdentity {
    std::string certificateFile;
    std::string keyFile;
};

// Throwaway certificates made fresh for a test, in a temporary directory
// that goes with the object:
//  - a CA the client is told to trust (caFile(), caDerFile()),
//  - a server certificate it issued for 127.0.0.1 and localhost (server()),
//  - an unrelated CA the client does not trust (untrustedCaFile()), and a
//    certificate for 127.0.0.1 and localhost issued by it (serverFromUntrustedCa()),
//  - a certificate from the trusted CA for another host only (serverForOtherHost()).
class TestCertificate {
public:
    TestCertificate();
    ~TestCertificate();

    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;

    const std::string& directory() const { return m_directory; }
    const std::string& caFile() const { return m_caFile; }
    const std::string& caDerFile() const { return m_caDerFile; } // the same CA, DER
    const ServerIdentity& server() const { return m_server; }
    const std::string& untrustedCaFile() const { return m_untrustedCaFile; }
    const ServerIdentity& serverFromUntrustedCa() const { return m_serverFromUntrustedCa; }
    const ServerIdentity& serverForOtherHost() const { return m_serverForOtherHost; }

    // The name in serverForOtherHost().
    static constexpr const char* OtherHostName = "other-host.invalid";

private:
    std::string m_directory;
    std::string m_caFile;
    std::string m_caDerFile;
    ServerIdentity m_server;
    std::string m_untrustedCaFile;
    ServerIdentity m_serverFromUntrustedCa;
    ServerIdentity m_serverForOtherHost;
};

} // namespace chronavel::testing
