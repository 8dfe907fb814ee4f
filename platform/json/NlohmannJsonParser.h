#pragma once

#include "platform/JsonParser.h"

#include <map>
#include <string>

namespace chronavel {

// The JSON reader of every flavour, on nlohmann-json; needs no toolkit.
class NlohmannJsonParser final : public JsonParser {
public:
    // 1 for an object or an array, 0 for anything else; never throws.
    int Parse(const std::string& json) override;
    std::string GetValue(const std::string& key) override;

private:
    // The last parsed object's members that read as text.
    std::map<std::string, std::string> m_values;
};

class NlohmannJsonParserFactory final : public IJsonParserFactory {
public:
    std::unique_ptr<JsonParser> CreateJsonParser() override;
};

} // namespace chronavel
