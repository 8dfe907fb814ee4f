// The standalone loopback HTTPS server as another process uses it: started as
// a child, asked once over HTTPS through the CA file it wrote.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* text)
{
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

TEST(LoopbackHttpsServerProgram, AnswersAsToldThroughItsCaAndLogsTheRequestUntilItsInputCloses)
{
    const QTemporaryDir directory;
    const QString caPem = directory.filePath("ca.pem");
    const QString caDer = directory.filePath("ca.der");
    const QString log = directory.filePath("requests.log");
    QProcess server;
    server.start(LOOPBACK_HTTPS_SERVER,
                 {"--ca-pem", caPem, "--ca-der", caDer, "--log", log, "--status", "201", "--body", "made",
                  "--content-type", "application/json", "--location", "/made/1"});
    while (!server.canReadLine() && server.waitForReadyRead(10000)) {}
    const int port = server.readLine().trimmed().toInt();
    ASSERT_GT(port, 0) << server.readAllStandardError().toStdString();

    const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    const std::unique_ptr<curl_slist, ListDeleter> headers(curl_slist_append(nullptr, "X-Probe: yes"));
    const std::string address = "https://localhost:" + std::to_string(port) + "/zone?at=1%202";
    std::string answer;
    curl_easy_setopt(easy.get(), CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_CAINFO, caPem.toStdString().c_str());
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, "body");
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, static_cast<void*>(&answer));
    ASSERT_EQ(curl_easy_perform(easy.get()), CURLE_OK);

    long status = 0;
    const char* contentType = nullptr;
    curl_header* location = nullptr;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_TYPE, &contentType);
    EXPECT_EQ(status, 201);
    EXPECT_STREQ(contentType, "application/json");
    ASSERT_EQ(curl_easy_header(easy.get(), "Location", 0, CURLH_HEADER, -1, &location), CURLHE_OK);
    EXPECT_STREQ(location->value, "/made/1");
    EXPECT_EQ(answer, "made");
    EXPECT_THAT(ReadFile(log).toStdString(),
                AllOf(StartsWith("request 4\nPOST /zone?at=1%202 HTTP/1.1\n"), HasSubstr("\nX-Probe: yes\n"),
                      EndsWith("\n\nbody\n")));

    // The DER file holds what the PEM file encodes.
    const QString pemBody = QString::fromLatin1(ReadFile(caPem)).remove(QRegularExpression("-----[A-Z ]+-----|\\s"));
    EXPECT_FALSE(pemBody.isEmpty());
    EXPECT_EQ(ReadFile(caDer), QByteArray::fromBase64(pemBody.toLatin1()));

    server.closeWriteChannel();
    EXPECT_TRUE(server.waitForFinished(10000)) << "the server should end when its input closes";
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
}

} // namespace
