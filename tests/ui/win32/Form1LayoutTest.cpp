// What the window looks like before anyone clicks, and the keys that press
// its button: controls, font, focus, icons, scaling to the monitor's DPI.
#include "ui/win32/Form1.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32DateFormatter.h"
#include "platform/win32/Win32ShutdownWatch.h"
#include "tests/support/RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace chronavel {
namespace {

using chronavel::testing::RecordingMessageBox;

std::wstring TextOf(HWND window)
{
    wchar_t text[256]{};
    return std::wstring(text, static_cast<std::size_t>(GetWindowTextW(window, text, 256)));
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64]{};
    return std::wstring(name, static_cast<std::size_t>(GetClassNameW(window, name, 64)));
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

// How far the control's own font inks a text: its advance, less the space
// the last glyph leaves after itself.
SIZE ExtentIn(HWND control, const std::wstring& text)
{
    HDC dc = GetDC(control);
    const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ABC last{};
    if (!text.empty() && GetCharABCWidthsW(dc, text.back(), text.back(), &last) && last.abcC > 0) {
        extent.cx -= last.abcC;
    }
    SelectObject(dc, before);
    ReleaseDC(control, dc);
    return extent;
}

std::wstring RealisedFaceOf(HWND control)
{
    HDC dc = GetDC(control);
    const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE]{};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, before);
    ReleaseDC(control, dc);
    return face;
}

class Form1Layout : public ::testing::Test {
protected:
    // The children in their z-order, which is the tab order.
    std::vector<HWND> Controls() const
    {
        std::vector<HWND> controls;
        for (HWND child = GetWindow(form.window(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            controls.push_back(child);
        }
        return controls;
    }
    HWND Button() const { return Controls().at(0); }

    RecordingMessageBox messageBox;
    Win32ShutdownWatch shutdown;
    int requests = 0;
    Form1 form{GetModuleHandleW(nullptr), messageBox,
               [this](const std::string&) {
                   ++requests;
                   return std::string("1/2/2024 3:04:05 PM");
               },
               shutdown};
};

TEST_F(Form1Layout, IsAFixedFrameWhoseClientAreaIs424By78)
{
    EXPECT_EQ(ClassOf(form.window()), L"Form1");
    EXPECT_EQ(TextOf(form.window()), L"Chronavel");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form.window(), GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0U);
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(form.window())),
              DPI_AWARENESS_PER_MONITOR_AWARE);
    RECT client{};
    GetClientRect(form.window(), &client);
    EXPECT_EQ(client.right, 424);
    EXPECT_EQ(client.bottom, 78);
}

struct ControlCase {
    const wchar_t* name;
    const wchar_t* className;
    const wchar_t* text;
    RECT place;
    bool tabStop;
};

// In tab order.
const ControlCase Expected[] = {
    {L"cmdRequestTime", L"button", L"Request Time", {28, 24, 28 + 97, 24 + 37}, true},
    {L"lblTimeLocal", L"static", L"", {208, 32, 208 + 201, 32 + 21}, false},
    {L"Label2", L"static", L"Local Time:", {140, 36, 140 + 65, 36 + 17}, false},
};

TEST_F(Form1Layout, ControlsInTabOrderHaveTheirTextPlaceAndTahoma9)
{
    const std::vector<HWND> controls = Controls();
    ASSERT_EQ(controls.size(), std::size(Expected));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlCase& expected = Expected[i];
        SCOPED_TRACE(::testing::PrintToString(std::wstring(expected.name)));
        EXPECT_EQ(_wcsicmp(ClassOf(controls[i]).c_str(), expected.className), 0) << ClassOf(controls[i]);
        EXPECT_EQ(TextOf(controls[i]), expected.text);
        const RECT place = PlaceOf(controls[i]);
        EXPECT_TRUE(EqualRect(&place, &expected.place))
            << place.left << "," << place.top << " " << place.right - place.left << "x" << place.bottom - place.top;
        EXPECT_EQ((GetWindowLongPtrW(controls[i], GWL_STYLE) & WS_TABSTOP) != 0, expected.tabStop);

        const LOGFONTW font = FontOf(controls[i]);
        EXPECT_STREQ(font.lfFaceName, L"Tahoma");
        EXPECT_EQ(font.lfHeight, -12) << "9 pt at 96 DPI";
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        EXPECT_EQ(RealisedFaceOf(controls[i]), L"Tahoma") << "the prefix lacks Wine's tahoma.ttf";
    }
}

TEST_F(Form1Layout, ButtonHasTheFocusAtStartAndIsNeitherDefaultNorCancel)
{
    form.Show(SW_SHOWNORMAL);
    EXPECT_EQ(GetFocus(), Button());
    EXPECT_EQ(GetWindowLongPtrW(Button(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_NE(GetDlgCtrlID(Button()), IDOK);
    EXPECT_NE(GetDlgCtrlID(Button()), IDCANCEL);
}

// The captions and the widest time of each locale (two-digit month, day and
// hour) fit their boxes in the font as drawn. A push button keeps a few
// pixels on each side for its bevel and focus rectangle.
TEST_F(Form1Layout, TextsFitTheirBoxes)
{
    constexpr int ButtonInset = 2 * 4;
    const SIZE caption = ExtentIn(Button(), L"Request Time");
    EXPECT_LE(caption.cx, 97 - ButtonInset);
    EXPECT_LE(caption.cy, 37 - ButtonInset);
    const SIZE label2 = ExtentIn(Controls().at(2), L"Local Time:");
    EXPECT_LE(label2.cx, 65);
    EXPECT_LE(label2.cy, 17);
    for (const wchar_t* locale : {L"en-US", L"fr-FR", L"de-DE", L"es-ES"}) {
        const std::string widest = Win32DateFormatter(locale).FormatGeneralDate({2024, 12, 28, 22, 58, 58});
        const SIZE time = ExtentIn(Controls().at(1), ToWide(widest));
        EXPECT_LE(time.cx, 201) << widest;
        EXPECT_LE(time.cy, 21) << widest;
    }
}

struct KeyCase {
    const char* name;
    WPARAM key;
    bool bRepeat;
    int requests;
};

class Keys : public Form1Layout, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(Keys, OnTheFocusedButton)
{
    form.Show(SW_SHOWNORMAL);
    ASSERT_EQ(GetFocus(), Button());
    const LPARAM down = GetParam().bRepeat ? (1 << 30) : 0;
    SendMessageW(Button(), WM_KEYDOWN, GetParam().key, down | 1);
    SendMessageW(Button(), WM_KEYUP, GetParam().key, static_cast<LPARAM>(0xC0000001));
    EXPECT_EQ(requests, GetParam().requests);
    EXPECT_TRUE(IsWindow(form.window()));
}

INSTANTIATE_TEST_SUITE_P(Presses, Keys,
                         ::testing::Values(KeyCase{"Enter", VK_RETURN, false, 1}, KeyCase{"Space", VK_SPACE, false, 1},
                                           KeyCase{"HeldEnter", VK_RETURN, true, 0},
                                           KeyCase{"Escape", VK_ESCAPE, false, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(Form1Layout, AnswerGoesToTheLabel)
{
    SendMessageW(Button(), BM_CLICK, 0, 0);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(TextOf(Controls().at(1)), L"1/2/2024 3:04:05 PM");
    EXPECT_TRUE(messageBox.shown.empty());
}

// A move to a monitor at 150 %: places and font scale with the DPI.
TEST_F(Form1Layout, ScalesWithTheMonitorsDpi)
{
    RECT suggested{};
    GetWindowRect(form.window(), &suggested);
    SendMessageW(form.window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));

    const RECT scaled[] = {{42, 36, 42 + 146, 36 + 56}, {312, 48, 312 + 302, 48 + 32}, {210, 54, 210 + 98, 54 + 26}};
    const std::vector<HWND> controls = Controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const RECT place = PlaceOf(controls[i]);
        EXPECT_TRUE(EqualRect(&place, &scaled[i])) << i << ": " << place.left << "," << place.top << " "
                                                   << place.right - place.left << "x" << place.bottom - place.top;
        EXPECT_EQ(FontOf(controls[i]).lfHeight, -18) << i;
    }
}

// The 16 and 32 pixel images of the program's icon, for the title bar and Alt+Tab.
TEST_F(Form1Layout, WindowHasTheProgramsIconInBothSizes)
{
    for (const auto& [which, size] : {std::pair{ICON_SMALL, 16}, std::pair{ICON_BIG, 32}}) {
        const auto icon = reinterpret_cast<HICON>(SendMessageW(form.window(), WM_GETICON, which, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP image{};
        GetObjectW(info.hbmColor, sizeof image, &image);
        EXPECT_EQ(image.bmWidth, size);
        EXPECT_EQ(image.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

} // namespace
} // namespace chronavel
