// Short date pictures get four-digit years; quoted text stays as it is.
#include "platform/common/FourDigitYear.h"

#include <gtest/gtest.h>

#include <utility>

namespace chronavel {
namespace {

TEST(ShortDatePictures, GetFourDigitYearsOutsideQuotedText)
{
    const std::pair<const wchar_t*, const wchar_t*> pictures[] = {
        {L"M/d/yy", L"M/d/yyyy"},       {L"d.M.y", L"d.M.yyyy"},
        {L"yyyy-MM-dd", L"yyyy-MM-dd"}, {L"yy. MM. dd.", L"yyyy. MM. dd."},
        {L"'year' yy", L"'year' yyyy"}, {L"d 'of the year' y", L"d 'of the year' yyyy"},
        {L"'y''s' yy", L"'y''s' yyyy"},
    };
    for (const auto& [picture, widened] : pictures) {
        EXPECT_EQ(WithFourDigitYear(picture), widened);
    }
}

} // namespace
} // namespace chronavel
