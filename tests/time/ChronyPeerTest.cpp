// Our client against a real NTP server: chronyd, on loopback, with control
// of the system clock disabled.
#include "time/clsCheckTime.h"

#include "tests/support/LoopbackSntpServer.h"
#include "tests/support/QtTestPlatform.h"
#include "tests/support/ScriptedHttpClient.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>

namespace chronavel {
namespace {

using namespace chronavel::testing;

class ChronyServer {
public:
    explicit ChronyServer(int port)
    {
        const std::string dir = m_dir.path().toStdString();
        std::ofstream(dir + "/chrony.conf") << "port " << port << "\n"
                                            << "bindaddress 127.0.0.1\n"
                                            << "allow 127.0.0.1\n"
                                            << "local stratum 8\n"
                                            << "cmdport 0\n"
                                            << "pidfile " << dir << "/chronyd.pid\n";
        // -x: never touch the system clock; -d: stay in the foreground.
        QStringList arguments{"-x", "-d", "-f", m_dir.filePath("chrony.conf")};
        if (geteuid() == 0) {
            arguments << "-u"
                      << "root";
        }
        m_process.start(Executable(), arguments);
    }

    ~ChronyServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool Started() { return m_process.waitForStarted(5000); }

    static QString Executable()
    {
        return QStandardPaths::findExecutable("chronyd", {"/usr/sbin", "/sbin", "/usr/local/sbin"});
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

TEST(ChronyPeer, ItsTimeIsDecodedWithinTwoSecondsOfTheSystemClock)
{
    ASSERT_FALSE(ChronyServer::Executable().isEmpty()) << "chronyd is not installed (Debian package chrony)";
    const int port = ClosedUdpPort();
    ChronyServer chrony(port);
    ASSERT_TRUE(chrony.Started());

    // chronyd needs a moment before it serves; ask until it does.
    ScriptedHttpClientFactory http{UtcZoneResponse};
    std::string result;
    std::string requestedTimestamp;
    long long systemNow = 0;
    for (int attempt = 0; attempt < 20 && requestedTimestamp.empty(); ++attempt) {
        QtTestPlatform platform(&http);
        clsCheckTime check(platform.platform, Endpoints{.ntpHost = "127.0.0.1", .ntpPort = port});
        result = check.GetRealTime("ON");
        systemNow
            = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                  .count();
        if (!http.requests.empty()) {
            std::smatch match;
            const std::string url = http.requests.back().url;
            if (std::regex_search(url, match, std::regex("timestamp=(-?[0-9]+)"))) {
                requestedTimestamp = match[1];
            }
        } else {
            QThread::msleep(250);
        }
    }

    ASSERT_FALSE(requestedTimestamp.empty()) << "last result: " << result;
    EXPECT_NEAR(static_cast<double>(std::stoll(requestedTimestamp)), static_cast<double>(systemNow), 2.0);
    EXPECT_THAT(result, ::testing::Not(::testing::StartsWith("Error")));
}

} // namespace
} // namespace chronavel
