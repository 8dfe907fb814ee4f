// The window before anyone clicks, and the keys that press its button.
#include "ui/win32/Form1.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32DateFormatter.h"
#include "tests/support/RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace chronavel {
namespace {

std::wstring TextOf(HWND window)
{
    wchar_t text[64]{};
    return std::wstring(text, static_cast<std::size_t>(GetWindowTextW(window, text, 64)));
}

// In the parent's client coordinates.
RECT PlaceOf(HWND control)
{
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

LOGFONTW FontOf(HWND control)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// With a device context holding the control's own font.
template <typename Measure>
auto WithFontOf(HWND control, Measure measure)
{
    HDC dc = GetDC(control);
    const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const auto result = measure(dc);
    SelectObject(dc, before);
    ReleaseDC(control, dc);
    return result;
}

// How far a text's ink reaches: its advance, less the room its last glyph leaves after itself.
int InkWidth(HWND control, const std::wstring& text)
{
    return WithFontOf(control, [&](HDC dc) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        ABC last{};
        return extent.cx - (GetCharABCWidthsW(dc, text.back(), text.back(), &last) && last.abcC > 0 ? last.abcC : 0);
    });
}

class Form1Layout : public ::testing::Test {
protected:
    // The children in z-order, which is the tab order.
    std::vector<HWND> Controls() const
    {
        std::vector<HWND> controls;
        for (HWND child = GetWindow(form.window(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            controls.push_back(child);
        }
        return controls;
    }
    HWND Button() const { return Controls().at(0); }

    testing::RecordingMessageBox messageBox;
    int requests = 0;
    Form1 form{GetModuleHandleW(nullptr), messageBox, [this](const std::string&) {
                   ++requests;
                   return std::string("1/2/2024 3:04:05 PM");
               }};
};

TEST_F(Form1Layout, IsAFixedFrame424By78WhoseButtonHasTheFocusAndIsNeitherDefaultNorCancel)
{
    EXPECT_EQ(TextOf(form.window()), L"Chronavel");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form.window(), GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0U);
    RECT client{};
    GetClientRect(form.window(), &client);
    EXPECT_EQ(client.right, 424);
    EXPECT_EQ(client.bottom, 78);
    form.Show(SW_SHOWNORMAL);
    EXPECT_EQ(GetFocus(), Button());
    EXPECT_EQ(GetWindowLongPtrW(Button(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_NE(GetDlgCtrlID(Button()), IDOK);
    EXPECT_NE(GetDlgCtrlID(Button()), IDCANCEL);
}

struct DpiCase {
    const char* name;
    UINT dpi;
    RECT places[3];  // in tab order: cmdRequestTime, lblTimeLocal, Label2
    LONG fontHeight; // 9 pt
};

class AtDpi : public Form1Layout, public ::testing::WithParamInterface<DpiCase> {};

TEST_P(AtDpi, ControlsInTabOrderHaveTheirTextPlaceAndTahoma9)
{
    if (GetParam().dpi != USER_DEFAULT_SCREEN_DPI) { // moved to such a monitor
        RECT suggested{};
        GetWindowRect(form.window(), &suggested);
        SendMessageW(form.window(), WM_DPICHANGED, MAKEWPARAM(GetParam().dpi, GetParam().dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    }
    const wchar_t* texts[] = {L"Request Time", L"", L"Local Time:"};
    const std::vector<HWND> controls = Controls();
    ASSERT_EQ(controls.size(), std::size(texts));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        EXPECT_EQ(TextOf(controls[i]), texts[i]);
        const RECT place = PlaceOf(controls[i]);
        EXPECT_TRUE(EqualRect(&place, &GetParam().places[i])) << place.left << "," << place.top;
        EXPECT_EQ((GetWindowLongPtrW(controls[i], GWL_STYLE) & WS_TABSTOP) != 0, i == 0) << "only the button";
        const LOGFONTW font = FontOf(controls[i]);
        EXPECT_STREQ(font.lfFaceName, L"Tahoma");
        EXPECT_EQ(font.lfHeight, GetParam().fontHeight);
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        const std::wstring drawn = WithFontOf(controls[i], [](HDC dc) {
            wchar_t face[LF_FACESIZE]{};
            GetTextFaceW(dc, LF_FACESIZE, face);
            return std::wstring(face);
        });
        EXPECT_EQ(drawn, L"Tahoma") << "the prefix lacks Wine's tahoma.ttf";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Monitors, AtDpi,
    ::testing::Values(DpiCase{"At100Percent", 96, {{28, 24, 125, 61}, {208, 32, 409, 53}, {140, 36, 205, 53}}, -12},
                      DpiCase{"At150Percent", 144, {{42, 36, 188, 92}, {312, 48, 614, 80}, {210, 54, 308, 80}}, -18}),
    [](const auto& param) { return std::string(param.param.name); });

// The captions, and the widest time of each locale (two-digit month, day
// and hour), in the font as drawn. A push button keeps about 4 pixels each
// side for its bevel and focus rectangle.
TEST_F(Form1Layout, TextsFitTheirBoxes)
{
    EXPECT_LE(InkWidth(Button(), L"Request Time"), 97 - 2 * 4);
    EXPECT_LE(InkWidth(Controls().at(2), L"Local Time:"), 65);
    for (const wchar_t* locale : {L"en-US", L"fr-FR", L"de-DE", L"es-ES"}) {
        const std::string widest = Win32DateFormatter(locale).FormatGeneralDate({2024, 12, 28, 22, 58, 58});
        EXPECT_LE(InkWidth(Controls().at(1), ToWide(widest)), 201) << widest;
    }
}

struct KeyCase {
    const char* name;
    WPARAM key;
    LPARAM wasDown; // bit 30: a held key's repeat
    int requests;
};

class Keys : public Form1Layout, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(Keys, OnTheFocusedButton)
{
    form.Show(SW_SHOWNORMAL);
    SendMessageW(Button(), WM_KEYDOWN, GetParam().key, GetParam().wasDown | 1);
    SendMessageW(Button(), WM_KEYUP, GetParam().key, static_cast<LPARAM>(0xC0000001));
    EXPECT_EQ(requests, GetParam().requests);
    EXPECT_EQ(TextOf(Controls().at(1)), requests > 0 ? L"1/2/2024 3:04:05 PM" : L"");
}

INSTANTIATE_TEST_SUITE_P(Presses, Keys,
                         ::testing::Values(KeyCase{"Enter", VK_RETURN, 0, 1}, KeyCase{"Space", VK_SPACE, 0, 1},
                                           KeyCase{"HeldEnter", VK_RETURN, 1 << 30, 0},
                                           KeyCase{"Escape", VK_ESCAPE, 0, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

// Loaded from the program's icon for the window's DPI.
TEST_F(Form1Layout, WindowHasTheProgramsIconAt16And32Pixels)
{
    for (const auto& [which, size] : {std::pair{ICON_SMALL, 16}, std::pair{ICON_BIG, 32}}) {
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(SendMessageW(form.window(), WM_GETICON, which, 0)), &info));
        BITMAP image{};
        GetObjectW(info.hbmColor, sizeof image, &image);
        EXPECT_EQ(image.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

} // namespace
} // namespace chronavel
