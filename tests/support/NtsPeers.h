#pragma once

#include <memory>
#include <string>

namespace chronavel::testing {

// What stands between an NTS client and chronyd's NTP server: a proxy on
// 127.0.0.2 (tests/support/NtpProxy.h) that does this to each exchange.
enum class Tampering {
    None,                // passes on the server's reply, if it carries an authenticator
    ChangeAuthenticator, // flips a bit of the reply's authenticator
    ForgeBeforeReply,    // a plain reply echoing the nonce and Unique Identifier, then the server's
    NakBeforeReply,      // a NAK echoing them, then the server's reply
    ChangeCookie,        // flips a bit of the request's cookie, so the server answers with a NAK
    HoldBack,            // passes on the server's reply two and a half seconds late
    Drop,                // answers nothing
};
inline constexpr Tampering EveryTampering[] = {Tampering::None,
                                               Tampering::ChangeAuthenticator,
                                               Tampering::ForgeBeforeReply,
                                               Tampering::NakBeforeReply,
                                               Tampering::ChangeCookie,
                                               Tampering::HoldBack,
                                               Tampering::Drop};
// Its name where the peers are handed from one process to another.
inline const char* NameOf(Tampering tampering)
{
    constexpr const char* Names[] = {
        "NONE", "CHANGE_AUTHENTICATOR", "FORGE_BEFORE_REPLY", "NAK_BEFORE_REPLY", "CHANGE_COOKIE", "HOLD_BACK", "DROP"};
    return Names[static_cast<int>(tampering)];
}

// NTS key-exchange servers on 127.0.0.1, each as "127.0.0.1:port", for as
// long as the object lives. On Linux it starts them: a chronyd per tampering,
// serving the time already, whose key exchanges name its proxy as the NTP
// server. Under Wine it finds those that tests/wine/with-nts-peers started.
class NtsPeers {
public:
    NtsPeers();
    ~NtsPeers();
    NtsPeers(const NtsPeers&) = delete;
    NtsPeers& operator=(const NtsPeers&) = delete;

    std::string Server(Tampering tampering) const;
    std::string OtherHostServer() const; // a certificate from the same CA, for another host only
    std::string RefusingServer() const;
    std::string SilentServer() const; // takes connections and says nothing
    // "localhost:port", where localhost resolves to ::1 first and ::1 drops
    // every connection at that port, while chronyd answers on 127.0.0.1;
    // empty where localhost does not resolve so.
    std::string RacedServer() const;
    std::string caFile() const;    // PEM, of the CA that issued the servers' certificates
    std::string caDerFile() const; // the same, DER
    std::string untrustedCaFile() const;

private:
    struct Running;
    std::unique_ptr<Running> m_running;
};

// A server of theirs by the name its certificate carries beside the address,
// "localhost:port": Wine's certificate check matches names only.
inline std::string ByName(std::string server)
{
    return server.replace(0, server.find(':'), "localhost");
}

} // namespace chronavel::testing
