#pragma once

#include "platform/JsonParser.h"

#include <QJsonDocument>

namespace chronavel {

class QtJsonParser final : public JsonParser {
public:
    int Parse(const std::string& json) override;
    std::string GetValue(const std::string& key) override;

private:
    QJsonDocument m_document;
};

class QtJsonParserFactory final : public IJsonParserFactory {
public:
    std::unique_ptr<JsonParser> CreateJsonParser() override;
};

} // namespace chronavel
