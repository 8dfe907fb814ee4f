#pragma once

namespace chronavel {

// Notices that the application is closing, so that a request still waiting
// is abandoned instead of showing further boxes: the window says so when
// it goes, or WM_QUIT is waiting in the thread's queue (PostQuitMessage
// from the main window's WM_DESTROY, in the classic manner).
class Win32ShutdownWatch {
public:
    bool IsShuttingDown();
    void RequestShutdown() { m_bShuttingDown = true; }

private:
    bool m_bShuttingDown = false;
};

} // namespace chronavel
