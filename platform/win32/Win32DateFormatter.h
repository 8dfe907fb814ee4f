#pragma once

#include "platform/DateFormatter.h"

#include <string>

namespace chronavel {

// The general date of a Windows locale: its short date (year widened to
// four digits), a space and its time format.
class Win32DateFormatter final : public IDateFormatter {
public:
    // A locale name such as L"de-DE"; empty for the user's own locale.
    explicit Win32DateFormatter(std::wstring localeName = {}) : m_localeName(std::move(localeName)) {}

    // Throws PlatformError when the locale cannot format the date.
    std::string FormatGeneralDate(const CivilDateTime& when) const override;

private:
    std::wstring m_localeName;
};

} // namespace chronavel
