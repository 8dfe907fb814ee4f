// The Windows installer as a user meets it, run silently: what it installs
// and registers, the program it leaves ready to start, what its uninstaller
// removes; installing again, and installing or removing while the program runs.
#include "ChronavelVersion.h"
#include "platform/win32/WideText.h"
#include "tests/ui/win32/RunningProgram.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

namespace chronavel {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Chronavel";

fs::path InstallerPath()
{
    std::wstring path = ToWide(CHRONAVEL_INSTALLER);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The exit code; 99 when it has not ended within a minute (a box waiting
// for a click in a silent run, say). Started as Explorer starts programs,
// since both the installer and the uninstaller ask to run as administrator.
DWORD Run(const fs::path& program, const std::wstring& parameters)
{
    SHELLEXECUTEINFOW started{};
    started.cbSize = sizeof started;
    started.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    started.lpFile = program.c_str();
    started.lpParameters = parameters.c_str();
    started.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&started) || started.hProcess == nullptr) {
        return 98;
    }
    DWORD exitCode = 99;
    if (WaitForSingleObject(started.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(started.hProcess, &exitCode);
    } else {
        TerminateProcess(started.hProcess, 99);
    }
    CloseHandle(started.hProcess);
    return exitCode;
}

DWORD Install(const fs::path& folder)
{
    // /D= comes last and unquoted, spaces and all.
    return Run(InstallerPath(), L"/S /D=" + folder.wstring());
}

// In place (_?=), so that it is waited for; as it cannot then remove
// itself, Uninstall.exe stays behind.
DWORD Uninstall(const fs::path& folder)
{
    return Run(folder / L"Uninstall.exe", L"/S _?=" + folder.wstring());
}

// Empty when absent.
std::wstring UninstallEntry(const wchar_t* name)
{
    wchar_t value[512]{};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}

bool UninstallKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

fs::path StartMenuShortcut()
{
    wchar_t* programs = nullptr;
    SHGetKnownFolderPath(FOLDERID_CommonPrograms, 0, nullptr, &programs);
    fs::path shortcut = fs::path(programs) / UninstallEntry(L"StartMenu") / L"Chronavel.lnk";
    CoTaskMemFree(programs);
    return shortcut;
}

// Empty when the link cannot be read.
fs::path ShortcutTarget(const fs::path& shortcut)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
        return {};
    }
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH]{};
    if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file)))) {
        if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ))) {
            link->GetPath(target, MAX_PATH, nullptr, 0);
        }
        file->Release();
    }
    link->Release();
    return target;
}

void ExpectInstalledIn(const fs::path& folder)
{
    EXPECT_TRUE(fs::exists(folder / L"chronavel.exe"));
    EXPECT_TRUE(fs::exists(folder / L"Uninstall.exe"));
    const std::pair<const wchar_t*, std::wstring> entries[] = {
        {L"DisplayName", L"Chronavel"},
        {L"DisplayVersion", ToWide(CHRONAVEL_VERSION_STRING)},
        {L"Publisher", L"The Chronavel developers"},
        {L"UninstallString", L'"' + (folder / L"Uninstall.exe").wstring() + L'"'},
    };
    for (const auto& [name, value] : entries) {
        EXPECT_EQ(UninstallEntry(name), value) << name;
    }
    const fs::path target = ShortcutTarget(StartMenuShortcut());
    EXPECT_TRUE(!target.empty() && fs::equivalent(target, folder / L"chronavel.exe"))
        << StartMenuShortcut() << " leads to " << target;
}

class Installer : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        wchar_t temp[MAX_PATH]{};
        GetTempPathW(MAX_PATH, temp);
        m_root = fs::path(temp) / L"chronavel installer test";
    }

    // Whatever a failed case left installed goes, so that the next starts clean.
    void TearDown() override
    {
        for (const fs::path& folder : {First(), Second()}) {
            if (fs::exists(folder / L"Uninstall.exe")) {
                Uninstall(folder);
            }
        }
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
        CoUninitialize();
    }

    fs::path First() const { return m_root / L"Chronavel A"; }
    fs::path Second() const { return m_root / L"Chronavel B"; }

private:
    fs::path m_root;
};

TEST_F(Installer, InstallsAProgramThatStartsAndTheUninstallerRemovesItAll)
{
    ASSERT_EQ(Install(First()), 0U);
    ExpectInstalledIn(First());
    const fs::path shortcut = StartMenuShortcut();

    RunningProgram program(First() / L"chronavel.exe");
    EXPECT_NE(program.Window(), nullptr) << "no window within 10 seconds";
    EXPECT_EQ(program.CloseAndWait(), 0U);

    ASSERT_EQ(Uninstall(First()), 0U);
    EXPECT_FALSE(fs::exists(First() / L"chronavel.exe"));
    EXPECT_FALSE(fs::exists(shortcut));
    EXPECT_FALSE(UninstallKeyExists());
}

// Over the same version as over an older one: the installed one's own
// uninstaller removes it first, wherever it is.
TEST_F(Installer, InstallingAgainReplacesTheEarlierInstall)
{
    ASSERT_EQ(Install(First()), 0U);
    ASSERT_EQ(Install(First()), 0U);
    ExpectInstalledIn(First());

    ASSERT_EQ(Install(Second()), 0U);
    ExpectInstalledIn(Second());
    EXPECT_FALSE(fs::exists(First())) << "the earlier install's folder stays";
}

// Windows will not replace or delete a running program: a silent run fails
// and leaves the install as it was, rather than half replaced.
TEST_F(Installer, RefusesToReplaceOrRemoveTheProgramWhileItRuns)
{
    ASSERT_EQ(Install(First()), 0U);
    RunningProgram program(First() / L"chronavel.exe");
    ASSERT_NE(program.Window(), nullptr) << "no window within 10 seconds";

    const std::pair<const char*, DWORD> attempts[] = {
        {"installing over it", Install(First())},
        {"installing elsewhere", Install(Second())},
        {"uninstalling", Uninstall(First())},
    };
    for (const auto& [attempt, exitCode] : attempts) {
        EXPECT_NE(exitCode, 0U) << attempt;
        EXPECT_NE(exitCode, 99U) << attempt << " waits for a click";
    }
    ExpectInstalledIn(First());
    EXPECT_FALSE(fs::exists(Second() / L"chronavel.exe"));
    EXPECT_EQ(program.CloseAndWait(), 0U);
}

} // namespace
} // namespace chronavel
