#include "platform/json/NlohmannJsonParser.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <optional>

namespace chronavel {
namespace {

// JSON's own notation whatever the user's locale, and the shortest text that
// reads back as the same number. Every number is read as a double, as the
// service's clients do.
std::string NumberText(double number)
{
    std::array<char, 32> text{};
    const std::to_chars_result written = std::to_chars(text.data(), text.data() + text.size(), number);
    return std::string(text.data(), written.ptr);
}

std::optional<std::string> MemberText(const nlohmann::json& value)
{
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_number()) {
        return NumberText(value.get<double>());
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "true" : "false";
    }
    return std::nullopt;
}

} // namespace

int NlohmannJsonParser::Parse(const std::string& json)
{
    m_values.clear();
    const nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
    // A bare value is no document, as the reader before this one had it.
    if (document.is_discarded() || !document.is_structured()) {
        return 0;
    }
    if (document.is_object()) {
        for (const auto& [key, value] : document.items()) {
            if (std::optional<std::string> text = MemberText(value)) {
                m_values.emplace(key, std::move(*text));
            }
        }
    }
    return 1;
}

std::string NlohmannJsonParser::GetValue(const std::string& key)
{
    const auto found = m_values.find(key);
    return found == m_values.end() ? std::string() : found->second;
}

std::unique_ptr<JsonParser> NlohmannJsonParserFactory::CreateJsonParser()
{
    return std::make_unique<NlohmannJsonParser>();
}

} // namespace chronavel
