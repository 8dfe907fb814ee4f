#pragma once

#include <memory>
#include <string>

namespace chronavel {

class JsonParser {
public:
    virtual ~JsonParser() = default;

    // 1 when the text is a JSON document; any other value when it is not.
    virtual int Parse(const std::string& json) = 0;
    // A top-level member of the parsed document as text: a string without its
    // quotes, a number as its decimal text; empty when the key is absent.
    virtual std::string GetValue(const std::string& key) = 0;
};

class IJsonParserFactory {
public:
    virtual ~IJsonParserFactory() = default;
    virtual std::unique_ptr<JsonParser> CreateJsonParser() = 0;
};

} // namespace chronavel
