#pragma once

#include "platform/DateFormatter.h"

#include <QLocale>

namespace chronavel {

class QtDateFormatter final : public IDateFormatter {
public:
    explicit QtDateFormatter(QLocale locale = QLocale::system()) : m_locale(std::move(locale)) {}
    std::string FormatGeneralDate(const CivilDateTime& when) const override;

private:
    QLocale m_locale;
};

} // namespace chronavel
