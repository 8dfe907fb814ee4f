#pragma once

#include "platform/MessageBox.h"
#include "platform/win32/UniqueWindow.h"
#include "ui/TimeRequest.h"
#include "ui/win32/GdiHandles.h"

#include <windows.h>

#include <string>

namespace chronavel {

// The main window: one button that asks for Ontario's current time and a
// label that shows it. Closing it ends the program: it posts WM_QUIT, which
// also abandons a request still waiting.
class Form1 final {
public:
    // Throws PlatformError when the window or its controls cannot be made.
    Form1(HINSTANCE instance, IMessageBox& messageBox, TimeRequest request);
    ~Form1();

    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Nothing once the window has been closed.
    HWND window() const { return m_window.get(); }
    void Show(int showCommand);

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(HINSTANCE instance);
    // Places the controls and sizes the font and icons for the window's DPI.
    void LayOut(UINT dpi);
    // noexcept: nothing may unwind through the window procedure.
    void cmdRequestTime_Click() noexcept;
    void ShowLocalTime(const std::string& text);

    IMessageBox& m_messageBox;
    TimeRequest m_request;
    HINSTANCE m_instance;
    UniqueFont m_font;
    UniqueIcon m_bigIcon;
    UniqueIcon m_smallIcon;
    // Declared last, so the window goes before the font and icons it uses.
    UniqueWindow m_window;
    HWND cmdRequestTime = nullptr;
    HWND lblTimeLocal = nullptr;
    HWND Label2 = nullptr;
};

} // namespace chronavel
