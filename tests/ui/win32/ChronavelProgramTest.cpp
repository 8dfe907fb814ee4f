// chronavel.exe as Windows starts it: the version in its file, its window,
// and its exit when that is closed.
#include "ChronavelVersion.h"
#include "platform/win32/WideText.h"
#include "tests/ui/win32/RunningProgram.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace chronavel {
namespace {

std::wstring ProgramPath()
{
    std::wstring path = ToWide(CHRONAVEL_PROGRAM);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

TEST(ChronavelProgram, VersionResourceCarriesTheProjectsVersion)
{
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored));
    ASSERT_FALSE(info.empty()) << "no version resource";
    ASSERT_TRUE(GetFileVersionInfoW(ProgramPath().c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(CHRONAVEL_VERSION_MINOR, CHRONAVEL_VERSION_MAJOR)));
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
        wchar_t* text = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
        EXPECT_EQ(std::wstring(text), ToWide(CHRONAVEL_VERSION_STRING)) << name;
    }
}

// Its window is DPI aware per monitor, as its manifest asks.
TEST(ChronavelProgram, ShowsItsWindowAndExitsWithZeroWhenItIsClosed)
{
    RunningProgram program(ProgramPath());
    ASSERT_NE(program.Window(), nullptr) << "no window within 10 seconds";
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(program.Window())),
              DPI_AWARENESS_PER_MONITOR_AWARE);
    EXPECT_EQ(program.CloseAndWait(), 0U) << "99: still running 10 seconds after it was closed";
}

} // namespace
} // namespace chronavel
