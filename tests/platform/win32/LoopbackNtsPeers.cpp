// NtsPeers under Wine: those tests/wine/with-nts-peers started beside the
// test, outside Wine, as its variables name them.
#include "tests/support/NtsPeers.h"

#include <cstdlib>
#include <stdexcept>

namespace chronavel::testing {
namespace {

std::string Peer(const std::string& name)
{
    const std::string variable = "CHRONAVEL_NTS_" + name;
    const char* value = std::getenv(variable.c_str());
    if (value == nullptr) {
        throw std::runtime_error(variable + " is not set: run this test through CTest (with-nts-peers)");
    }
    return value;
}

// A Linux path as Wine shows it.
std::string File(const std::string& name)
{
    return "Z:" + Peer(name);
}

} // namespace

struct NtsPeers::Running {};

NtsPeers::NtsPeers()
{
    Peer("CA_FILE"); // fails early outside with-nts-peers
}

NtsPeers::~NtsPeers() = default;

std::string NtsPeers::Server(Tampering tampering) const
{
    return Peer(std::string("SERVER_") + NameOf(tampering));
}

std::string NtsPeers::OtherHostServer() const
{
    return Peer("OTHER_HOST_SERVER");
}

std::string NtsPeers::RefusingServer() const
{
    return Peer("REFUSING_SERVER");
}

std::string NtsPeers::SilentServer() const
{
    return Peer("SILENT_SERVER");
}

std::string NtsPeers::RacedServer() const
{
    return Peer("RACED_SERVER");
}

std::string NtsPeers::caFile() const
{
    return File("CA_FILE");
}

std::string NtsPeers::caDerFile() const
{
    return File("CA_DER_FILE");
}

std::string NtsPeers::untrustedCaFile() const
{
    return File("UNTRUSTED_CA_FILE");
}

} // namespace chronavel::testing
