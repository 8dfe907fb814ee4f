// chronavel.exe as Windows starts it: the resources in its file, and a
// start and a close of its window.
#include "ChronavelVersion.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace chronavel {
namespace {

using namespace std::chrono_literals;

std::wstring ProgramPath()
{
    std::wstring path = ToWide(CHRONAVEL_PROGRAM);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct ModuleFreer {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name)
{
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || length == 0) {
        return L"<none>";
    }
    return std::wstring(text, length - 1);
}

TEST(ChronavelProgram, VersionResourceCarriesTheProjectsVersion)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored);
    ASSERT_GT(size, 0U) << "no version resource";
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(ProgramPath().c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(CHRONAVEL_VERSION_MINOR, CHRONAVEL_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, CHRONAVEL_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(VersionString(info, L"FileVersion"), ToWide(CHRONAVEL_VERSION_STRING));
    EXPECT_EQ(VersionString(info, L"ProductVersion"), ToWide(CHRONAVEL_VERSION_STRING));
    EXPECT_EQ(VersionString(info, L"ProductName"), L"Chronavel");
}

// The icon group as an .ico file's directory has it: 14 bytes an image.
TEST(ChronavelProgram, IconHasThe16_32And48PixelImages)
{
    const UniqueModule program(
        LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_NE(program, nullptr);
    HRSRC found = FindResourceW(program.get(), MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr) << "no icon 1";
    const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(program.get(), found)));
    ASSERT_NE(directory, nullptr);
    const int count = directory[4] | (directory[5] << 8);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;
        EXPECT_EQ(entry[0], entry[1]) << "a square image";
        sizes.push_back(entry[0]);
    }
    EXPECT_THAT(sizes, ::testing::UnorderedElementsAre(16, 32, 48));
}

HWND FindProgramWindow(DWORD processId)
{
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* wanted = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[16]{};
            GetClassNameW(window, className, 16);
            if (owner == wanted->processId && std::wstring_view(className) == L"Form1") {
                wanted->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The manifest is the program's: its window is DPI aware per monitor.
TEST(ChronavelProgram, ShowsItsWindowAndExitsWithZeroWhenItIsClosed)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(ProgramPath().c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &started))
        << GetLastError();
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);

    HWND window = nullptr;
    for (int tries = 0; window == nullptr && tries < 100; ++tries) {
        std::this_thread::sleep_for(100ms);
        window = FindProgramWindow(started.dwProcessId);
    }
    ASSERT_NE(window, nullptr) << "no window within 10 seconds";
    wchar_t title[32]{};
    GetWindowTextW(window, title, 32);
    EXPECT_STREQ(title, L"Chronavel");
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(window)),
              DPI_AWARENESS_PER_MONITOR_AWARE);

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0) << "still running 10 seconds after closing";
    DWORD exitCode = 99;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0U);
}

} // namespace
} // namespace chronavel
