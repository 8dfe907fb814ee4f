// The window on the real request: Qt sockets and event pump against a
// loopback SNTP responder, and the time zone service over HTTPS.
#include "ui/qt/Form1.h"

#include "platform/qt/QtTimeZoneDatabase.h"
#include "platform/timezone/EmbeddedTimeZoneService.h"
#include "tests/support/LoopbackHttpsServer.h"
#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/ScriptedHttpClient.h"
#include "tests/support/TestCertificate.h"
#include "ui/TimeRequest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

namespace chronavel {
namespace {

using namespace chronavel::testing;
using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr const char* ErrorTitle = "Error Validating Time";

std::vector<RecordingMessageBox::Shown> ErrorBoxes(const RecordingMessageBox& messageBox)
{
    std::vector<RecordingMessageBox::Shown> boxes;
    for (const auto& box : messageBox.shown) {
        if (box.title == ErrorTitle) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

std::vector<std::string> Checkpoints(const RecordingMessageBox& messageBox)
{
    std::vector<std::string> tags;
    for (const auto& box : messageBox.shown) {
        if (box.title.empty()) {
            tags.push_back(box.prompt);
        }
    }
    return tags;
}

// A window whose requests go to servers of the test's own.
struct Window {
    Window(QtTestPlatform& platform, Endpoints endpoints)
        : form(platform.messageBox, RealTimeRequest(platform.platform, std::move(endpoints)))
    {
        form.show();
    }
    QPushButton* Button() { return form.findChild<QPushButton*>("cmdRequestTime"); }
    std::string LabelText() { return form.findChild<QLabel*>("lblTimeLocal")->text().toStdString(); }
    void Click() { QTest::mouseClick(Button(), Qt::LeftButton); }

    Form1 form;
};

class Form1Request : public ::testing::Test {
protected:
    Endpoints ToLoopback(int ntpPort) const
    {
        return Endpoints{.ntsServer = "", .ntpHost = "127.0.0.1", .ntpPort = ntpPort};
    }

    void AnswerWithTime(std::uint32_t transmitSeconds)
    {
        server.Answer([transmitSeconds](const Bytes&) {
            return std::vector<LoopbackSntpServer::Datagram>{{MakeSntpReply({.transmitSeconds = transmitSeconds})}};
        });
    }

    ScriptedHttpClientFactory http{UtcZoneResponse};
    QtTestPlatform platform{&http};
    LoopbackSntpServer server;
};

TEST_F(Form1Request, EachClickAsksTheServerAndShowsItsTime)
{
    AnswerWithTime(Dec8th2026At071022);
    Window window(platform, ToLoopback(server.port()));
    window.Click();
    EXPECT_EQ(window.LabelText(), "12/8/2026 7:10:22 AM");
    EXPECT_EQ(Checkpoints(platform.messageBox), AllCheckpoints);

    AnswerWithTime(Dec8th2026At071022 + 61);
    window.Click();
    EXPECT_EQ(window.LabelText(), "12/8/2026 7:11:23 AM");
    EXPECT_TRUE(ErrorBoxes(platform.messageBox).empty());
    EXPECT_EQ(server.Requests().size(), 2U);
    EXPECT_EQ(http.requests.size(), 2U);
}

TEST_F(Form1Request, RefusedPortEndsInAnErrorBoxAndTheLabelKeepsItsTime)
{
    AnswerWithTime(Dec8th2026At071022);
    Window window(platform, ToLoopback(server.port()));
    window.Click();
    ASSERT_EQ(window.LabelText(), "12/8/2026 7:10:22 AM");

    Window refused(platform, ToLoopback(ClosedUdpPort()));
    platform.messageBox.shown.clear();
    refused.Click();

    EXPECT_THAT(ErrorBoxes(platform.messageBox),
                ElementsAre(RecordingMessageBox::Shown{"Error: Connection refused", ErrorTitle}));
    EXPECT_EQ(refused.LabelText(), "");
    EXPECT_EQ(window.LabelText(), "12/8/2026 7:10:22 AM");
}

// Through libcurl to a loopback HTTPS server that answers for Ontario in winter.
TEST(Form1RequestOverHttps, LabelShowsOntarioTime)
{
    QtTestPlatform platform;
    LoopbackSntpServer server;
    server.Answer([](const Bytes&) {
        return std::vector<LoopbackSntpServer::Datagram>{{MakeSntpReply({.transmitSeconds = Dec8th2026At071022})}};
    });
    TestCertificate certificates;
    LoopbackHttpsServer https(certificates);
    https.respond(ScriptedResponse::Ok(R"({"dstOffset":0,"rawOffset":-18000,"status":"OK"})"));

    Window window(platform,
                  Endpoints{.ntsServer = "",
                            .ntpHost = "127.0.0.1",
                            .ntpPort = server.port(),
                            .timeZoneServiceHost = "127.0.0.1:" + std::to_string(https.port()),
                            .timeZoneApiKey = "test-key",
                            .trustedCaFile = certificates.caFile()});
    window.Click();

    EXPECT_EQ(window.LabelText(), "12/8/2026 2:10:22 AM");
    EXPECT_TRUE(ErrorBoxes(platform.messageBox).empty());
    const std::vector<RecordedRequest> requests = https.requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_THAT(requests[0].target, StartsWith("/maps/api/timezone/json?location="));
}

// As a build without an API key runs: the time zone service answered
// in-process from the system's zone database, here in Toronto's summer.
TEST(Form1RequestEmbeddedService, LabelShowsOntarioTime)
{
    QtTimeZoneDatabase zones;
    EmbeddedTimeZoneServiceFactory embedded(zones);
    QtTestPlatform platform(&embedded);
    LoopbackSntpServer server;
    server.Answer([](const Bytes&) {
        constexpr std::uint32_t July1st2027At1200 = 4023432000U;
        return std::vector<LoopbackSntpServer::Datagram>{{MakeSntpReply({.transmitSeconds = July1st2027At1200})}};
    });

    Window window(platform, Endpoints{.ntsServer = "", .ntpHost = "127.0.0.1", .ntpPort = server.port()});
    window.Click();

    EXPECT_EQ(window.LabelText(), "7/1/2027 8:00:00 AM");
    EXPECT_EQ(Checkpoints(platform.messageBox), AllCheckpoints);
    EXPECT_TRUE(ErrorBoxes(platform.messageBox).empty());
}

// Closing the window while the request waits for a server that never
// answers: the application is going away, so the click ends without a word
// long before the ten-second limit.
TEST_F(Form1Request, ClosingTheWindowAbandonsTheWaitingRequest)
{
    Window window(platform, ToLoopback(server.port())); // the server stays silent
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.form));

    QElapsedTimer sinceClose;
    std::optional<qint64> handlerReturnedAfterMs;
    platform.messageBox.onShow = [&](const std::string& prompt) {
        if (prompt == "P3") {
            QTimer::singleShot(0, &window.form, [&] {
                sinceClose.start();
                window.form.close();
            });
        }
    };
    // The last window closing is only announced inside the application's
    // event loop, so the click runs inside one as it does in the program.
    QTimer::singleShot(0, &window.form, [&] {
        window.Click();
        if (sinceClose.isValid()) {
            handlerReturnedAfterMs = sinceClose.elapsed();
        }
        QCoreApplication::quit();
    });
    QApplication::exec();

    ASSERT_TRUE(handlerReturnedAfterMs.has_value());
    EXPECT_LT(*handlerReturnedAfterMs, 1500);
    EXPECT_TRUE(platform.shutdown.IsShuttingDown());
    EXPECT_FALSE(window.form.isVisible());
    EXPECT_THAT(Checkpoints(platform.messageBox), ElementsAre("P1", "P2", "P3"));
    EXPECT_TRUE(ErrorBoxes(platform.messageBox).empty());
    EXPECT_EQ(window.LabelText(), "");
}

} // namespace
} // namespace chronavel
