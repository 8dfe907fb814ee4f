#pragma once

#include "platform/MessageBox.h"

#include <string>

namespace chronavel {

class ShutdownWatch;

// A QMessageBox with an OK button and no icon, modal to the application.
class QtMessageBox final : public IMessageBox {
public:
    QtMessageBox(const ShutdownWatch& shutdown, std::string applicationTitle);

    // Throws RequestAbandoned instead of showing once the application is closing.
    void Show(const std::string& prompt, const std::string& title) override;

private:
    const ShutdownWatch& m_shutdown;
    const std::string m_applicationTitle;
};

} // namespace chronavel
