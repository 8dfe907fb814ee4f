#include "tests/ui/win32/RunningProgram.h"

#include <chrono>
#include <string_view>
#include <thread>
#include <utility>

namespace chronavel {
namespace {

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

} // namespace

RunningProgram::RunningProgram(const std::filesystem::path& program)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process)) {
        return;
    }
    CloseHandle(m_process.hThread);
    for (int tries = 0; m_window == nullptr && tries < 100; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds{100});
        m_window = FindForm1Of(m_process.dwProcessId);
    }
}

RunningProgram::~RunningProgram()
{
    if (m_process.hProcess != nullptr) {
        CloseAndWait();
    }
}

DWORD RunningProgram::CloseAndWait()
{
    if (m_process.hProcess == nullptr) {
        return 99;
    }
    PostMessageW(m_window, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    if (WaitForSingleObject(m_process.hProcess, 10000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(m_process.hProcess, &exitCode);
    } else {
        TerminateProcess(m_process.hProcess, 99);
        WaitForSingleObject(m_process.hProcess, INFINITE);
    }
    CloseHandle(m_process.hProcess);
    m_process.hProcess = nullptr;
    return exitCode;
}

} // namespace chronavel
