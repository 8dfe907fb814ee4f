#include "tests/support/ScriptedJsonParser.h"

namespace chronavel::testing {
namespace {

class ScriptedJsonParser final : public JsonParser {
public:
    ScriptedJsonParser(const std::string& document, const ScriptedJsonParserFactory::Members& members)
        : m_document(document)
        , m_members(members)
    {
    }

    int Parse(const std::string& json) override
    {
        m_bParsed = json == m_document;
        return m_bParsed ? 1 : 0;
    }

    std::string GetValue(const std::string& key) override
    {
        const auto member = m_members.find(key);
        return m_bParsed && member != m_members.end() ? member->second : std::string();
    }

private:
    const std::string& m_document;
    const ScriptedJsonParserFactory::Members& m_members;
    bool m_bParsed = false;
};

} // namespace

std::unique_ptr<JsonParser> ScriptedJsonParserFactory::CreateJsonParser()
{
    return std::make_unique<ScriptedJsonParser>(m_document, m_members);
}

} // namespace chronavel::testing
