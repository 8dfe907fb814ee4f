#include "tests/support/ScriptedHttpClient.h"

namespace chronavel::testing {
namespace {

class ScriptedHttpClient final : public IHttpClient {
public:
    ScriptedHttpClient(ScriptedHttpClientFactory& factory, std::string body)
        : m_factory(factory)
        , m_body(std::move(body))
    {
    }

    void setTimeouts(long, long, long, long) override {}
    void Open(const std::string& method, const std::string& url, bool) override
    {
        m_request.method = method;
        m_request.url = url;
    }
    void SetRequestHeader(const std::string&, const std::string&) override {}
    void Send(const std::string& body) override
    {
        m_request.body = body;
        m_factory.requests.push_back(m_request);
    }
    std::string responseText() const override { return m_body; }

private:
    ScriptedHttpClientFactory& m_factory;
    std::string m_body;
    ScriptedHttpClientFactory::Request m_request;
};

} // namespace

std::unique_ptr<IHttpClient> ScriptedHttpClientFactory::CreateHttpClient(const std::string&)
{
    return std::make_unique<ScriptedHttpClient>(*this, m_responseBody);
}

} // namespace chronavel::testing
