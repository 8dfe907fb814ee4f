#pragma once

#include "platform/DateFormatter.h"

namespace chronavel::testing {

// The general date of United States English ("12/8/2026 7:10:22 AM"),
// written out without a toolkit, for tests that need the text but not a
// platform's locale data.
class UsEnglishDateFormatter final : public IDateFormatter {
public:
    std::string FormatGeneralDate(const CivilDateTime& when) const override;
};

} // namespace chronavel::testing
