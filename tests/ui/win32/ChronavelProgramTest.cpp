// chronavel.exe as Windows starts it: the version in its file, its window,
// and its exit when that is closed.
#include "ChronavelVersion.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
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

HWND FindForm1Of(DWORD processId)
{
    std::pair<DWORD, HWND> search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            auto& [wanted, form] = *reinterpret_cast<std::pair<DWORD, HWND>*>(found);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[8]{};
            GetClassNameW(window, className, 8);
            if (owner == wanted && std::wstring_view(className) == L"Form1") {
                form = window;
            }
            return form == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Its window is DPI aware per monitor, as its manifest asks.
TEST(ChronavelProgram, ShowsItsWindowAndExitsWithZeroWhenItIsClosed)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(ProgramPath().c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &started));
    CloseHandle(started.hThread);
    HWND form = nullptr;
    for (int tries = 0; form == nullptr && tries < 100; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds{100});
        form = FindForm1Of(started.dwProcessId);
    }
    EXPECT_NE(form, nullptr) << "no window within 10 seconds";
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(form)), DPI_AWARENESS_PER_MONITOR_AWARE);

    PostMessageW(form, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    if (WaitForSingleObject(started.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(started.hProcess, 99);
        ADD_FAILURE() << "still running 10 seconds after it was closed";
    }
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hProcess);
    EXPECT_EQ(exitCode, 0U);
}

} // namespace
} // namespace chronavel
