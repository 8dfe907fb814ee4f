#pragma once

#include "platform/MessageBox.h"

#include <string>

namespace chronavel {

class Win32ShutdownWatch;

// MessageBoxW with an OK button and no icon, modal to the thread's windows.
class Win32MessageBox final : public IMessageBox {
public:
    Win32MessageBox(Win32ShutdownWatch& shutdown, std::string applicationTitle);

    // Throws RequestAbandoned instead of showing once the application is closing.
    void Show(const std::string& prompt, const std::string& title) override;

private:
    Win32ShutdownWatch& m_shutdown;
    const std::string m_applicationTitle;
};

} // namespace chronavel
