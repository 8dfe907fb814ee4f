#pragma once

#include "platform/MessageBox.h"

#include <string>

namespace chronavel {

// MessageBoxW with an OK button and no icon, modal to the thread's windows.
class Win32MessageBox final : public IMessageBox {
public:
    explicit Win32MessageBox(std::string applicationTitle) : m_applicationTitle(std::move(applicationTitle)) {}

    // Throws RequestAbandoned instead of showing once the application is closing.
    void Show(const std::string& prompt, const std::string& title) override;

private:
    const std::string m_applicationTitle;
};

} // namespace chronavel
