#pragma once

#include "nts/ExtensionFields.h"
#include "platform/Platform.h"
#include "platform/UdpSocket.h"
#include "sntp/NtpPacket.h"
#include "time/Endpoints.h"
#include "time/ServerClock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace chronavel {

// Turns a province code into that province's current local date and time as
// text, or into an error text beginning with "Error". One instance serves one
// request: create it, call GetRealTime once, release it. Its procedures are
// in clsCheckTime.cpp (the request and the wait), clsCheckTime_ExchangeKeys,
// clsCheckTime_Reply (the socket's events) and clsCheckTime_LookupLocalTime.
class clsCheckTime final : private IUdpSocketEvents {
public:
    explicit clsCheckTime(const Platform& platform, Endpoints endpoints = {});
    ~clsCheckTime() override;

    clsCheckTime(const clsCheckTime&) = delete;
    clsCheckTime& operator=(const clsCheckTime&) = delete;

    std::string GetRealTime(const std::string& sProvince);

private:
    // What the time zone service said applies in the province.
    struct ZoneOffsets {
        std::int16_t dst = 0;
        std::int16_t raw = 0;
    };

    void DataArrival(long bytesTotal) override { Winsock_DataArrival(bytesTotal); }
    void Error(int number, const std::string& description) override { Winsock_Error(number, description); }

    // What an authenticated request needs from its key exchange.
    struct NtsSession {
        NtsKeys keys;
        std::vector<std::uint8_t> cookie;
        NtsRequestNonces nonces;
    };

    std::vector<std::uint8_t> BuildDatagram();
    std::string ExchangeKeys();
    void WaitUntil(const std::function<bool()>& done);
    // The server's times, or nothing with the reason in m_sResult; an
    // authenticated request's wait goes on past what is not its reply.
    std::optional<ServerTimes> TakePlainReply(const std::vector<std::uint8_t>& datagram);
    std::optional<ServerTimes> TakeAuthenticatedReply(const std::vector<std::uint8_t>& datagram, MonotonicTime sent,
                                                      MonotonicTime arrived);
    void SendRequest(const std::vector<std::uint8_t>& request);
    void Winsock_DataArrival(long bytesTotal);
    void Winsock_Error(int Number, const std::string& Description);
    void LookupLocalTime(const ServerClock& serverClock);
    void StoreOffsets(const std::string& response);
    std::string GetJsonValue(const std::string& json, const std::string& key);
    std::string LocalTimeNow() const;

    const Platform& m_platform;
    const Endpoints m_endpoints;

    std::string m_sProvince;
    bool m_bReplied = false;
    std::string m_sResult;
    std::unique_ptr<IUdpSocket> Winsock;

    NtpTimestamp m_nonce;  // the reply must echo it
    std::string m_ntpHost; // where the request goes
    int m_ntpPort = 0;
    std::optional<NtsSession> m_nts;          // set when the request is authenticated
    std::string m_sRefused;                   // what came that was not its authenticated reply
    std::optional<ServerClock> m_serverClock; // from the reply
    std::optional<ZoneOffsets> m_offsets;     // from the time zone service
};

} // namespace chronavel
