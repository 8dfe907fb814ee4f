// What every HTTP client refuses before it touches the network, run against
// the client of each test executable that includes this and defines
// MakeRuledHttpClient.
#pragma once

#include "platform/HttpClient.h"
#include "platform/PlatformError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace chronavel::testing {

std::unique_ptr<IHttpClient> MakeRuledHttpClient();

inline const std::string SecretKey = "AIzaSecretKeyThatMustNeverBeShown";
// Nothing listens on port 1, so a request there fails at once.
inline const std::string NowhereAddress = "https://localhost:1/maps/api/timezone/json?location=&timestamp=0&key=";

TEST(HttpClientRules, MisuseIsRefused)
{
    const std::unique_ptr<IHttpClient> client = MakeRuledHttpClient();
    EXPECT_THROW(client->setTimeouts(0, -1, 0, 0), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("Content-Type", "text/plain"), PlatformError);
    EXPECT_THROW(client->Send("body"), PlatformError);
    EXPECT_THROW(static_cast<void>(client->responseText()), PlatformError);
    EXPECT_THROW(client->Open("POST", NowhereAddress, true), PlatformError);
    EXPECT_THROW(client->Open("GET", NowhereAddress, false), PlatformError);
    client->Open("POST", NowhereAddress, false);
    EXPECT_THROW(client->Open("POST", NowhereAddress, false), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("X-Tag", "a\r\nInjected: yes"), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("X-Tag", "a\nInjected: yes"), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("X Tag", "a"), PlatformError);
    EXPECT_THROW(client->SetRequestHeader("", "a"), PlatformError);
    try {
        client->Send("body");
    } catch (const PlatformError&) {
    }
    EXPECT_THROW(client->Send("body"), PlatformError) << "one request per object";
}

TEST(HttpClientRules, AddressesThatAreNotPlainHttpsAreRefusedWithoutQuotingTheKey)
{
    for (const std::string address : {"http://localhost/", "ftp://localhost/", "", "localhost/no-scheme",
                                      "https://localhost/\r\nX: y", "https://localhost/caf\xC3\xA9"}) {
        const std::unique_ptr<IHttpClient> client = MakeRuledHttpClient();
        std::string failure = "(no failure)";
        try {
            client->Open("POST", address + "?key=" + SecretKey, false);
        } catch (const PlatformError& error) {
            failure = error.what();
        }
        EXPECT_THAT(failure,
                    ::testing::AllOf(::testing::Ne("(no failure)"), ::testing::Not(::testing::HasSubstr(SecretKey))))
            << address;
        EXPECT_THROW(client->Send("body"), PlatformError) << address;
    }
}

} // namespace chronavel::testing
