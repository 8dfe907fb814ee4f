#include "platform/common/FourDigitYear.h"

namespace chronavel {

std::wstring WithFourDigitYear(const std::wstring& picture)
{
    std::wstring widened;
    bool inLiteral = false;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const wchar_t letter = picture[i];
        if (letter == L'\'') {
            inLiteral = !inLiteral;
        }
        if (inLiteral || letter != L'y') {
            widened += letter;
            continue;
        }
        widened += L"yyyy";
        while (i + 1 < picture.size() && picture[i + 1] == L'y') {
            ++i;
        }
    }
    return widened;
}

} // namespace chronavel
