#include "platform/win32/Win32DateFormatter.h"

#include "platform/win32/SystemErrorText.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>

namespace chronavel {
namespace {

// Asks a GetXxxFormatEx-style function for the size first, then the text.
template <typename Call>
std::wstring ReadText(Call call)
{
    const int length = call(nullptr, 0);
    if (length <= 0) {
        ThrowLastError();
    }
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    if (call(text.data(), length) <= 0) {
        ThrowLastError();
    }
    text.resize(static_cast<std::size_t>(length - 1)); // the count includes the terminator
    return text;
}

} // namespace

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

std::string Win32DateFormatter::FormatGeneralDate(const CivilDateTime& when) const
{
    const wchar_t* locale = m_localeName.empty() ? LOCALE_NAME_USER_DEFAULT : m_localeName.c_str();
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(when.year);
    time.wMonth = static_cast<WORD>(when.month);
    time.wDay = static_cast<WORD>(when.day);
    time.wHour = static_cast<WORD>(when.hour);
    time.wMinute = static_cast<WORD>(when.minute);
    time.wSecond = static_cast<WORD>(when.second);

    // The short date's picture, as DATE_SHORTDATE would use it (with the
    // user's own changes), but never with a two-digit year.
    const std::wstring shortDate = WithFourDigitYear(ReadText(
        [locale](wchar_t* buffer, int size) { return GetLocaleInfoEx(locale, LOCALE_SSHORTDATE, buffer, size); }));
    std::wstring text = ReadText([&](wchar_t* buffer, int size) {
        return GetDateFormatEx(locale, 0, &time, shortDate.c_str(), buffer, size, nullptr);
    });
    if (when.hour != 0 || when.minute != 0 || when.second != 0) {
        text += L' ';
        text += ReadText(
            [&](wchar_t* buffer, int size) { return GetTimeFormatEx(locale, 0, &time, nullptr, buffer, size); });
    }
    // Some locales put a narrow no-break space before AM/PM; the label shows
    // plain text, so an ordinary space reads the same and copies cleanly.
    std::replace(text.begin(), text.end(), L'\u202F', L' ');
    return ToUtf8(text);
}

} // namespace chronavel
