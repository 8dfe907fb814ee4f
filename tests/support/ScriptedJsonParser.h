#pragma once

#include "platform/JsonParser.h"

#include <map>
#include <memory>
#include <string>

namespace chronavel::testing {

// A JSON component that knows one document by heart and reads it as the
// members it is given; any other text is not JSON to it. For tests about
// the time request alone, beside a scripted HTTP client.
class ScriptedJsonParserFactory final : public IJsonParserFactory {
public:
    using Members = std::map<std::string, std::string>;

    ScriptedJsonParserFactory(std::string document, Members members)
        : m_document(std::move(document))
        , m_members(std::move(members))
    {
    }

    std::unique_ptr<JsonParser> CreateJsonParser() override;

private:
    std::string m_document;
    Members m_members;
};

// The members of UtcZoneResponse, as a JSON component reads them.
inline const ScriptedJsonParserFactory::Members UtcZoneMembers{{"dstOffset", "0"}, {"rawOffset", "0"}, {"status", "OK"}};

} // namespace chronavel::testing
