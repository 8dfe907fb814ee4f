#pragma once

#include <windows.h>

#include <filesystem>

namespace chronavel {

// chronavel.exe started as a process of its own, as Windows starts it, and
// found by its window.
class RunningProgram {
public:
    // Waits up to 10 seconds for the window; Window() is null without one.
    explicit RunningProgram(const std::filesystem::path& program);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    HWND Window() const { return m_window; }
    // Closes the window as its close box does and returns the exit code;
    // 99 when the program is still running 10 seconds later (it is then ended).
    DWORD CloseAndWait();

private:
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
};

} // namespace chronavel
