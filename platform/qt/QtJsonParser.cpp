#include "platform/qt/QtJsonParser.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>

namespace chronavel {

int QtJsonParser::Parse(const std::string& json)
{
    QJsonParseError error{};
    m_document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    return error.error == QJsonParseError::NoError ? 1 : 0;
}

std::string QtJsonParser::GetValue(const std::string& key)
{
    const QJsonValue value = m_document.object().value(QString::fromStdString(key));
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString().toStdString();
    case QJsonValue::Double:
        // JSON's own notation, never the user's locale; shortest text that
        // reads back as the same number.
        return QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest).toStdString();
    case QJsonValue::Bool:
        return value.toBool() ? "true" : "false";
    default:
        return {};
    }
}

std::unique_ptr<JsonParser> QtJsonParserFactory::CreateJsonParser()
{
    return std::make_unique<QtJsonParser>();
}

} // namespace chronavel
