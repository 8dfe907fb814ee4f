#pragma once

#include "platform/MessageBox.h"

#include <functional>
#include <string>
#include <vector>

namespace chronavel::testing {

// Stands in for the modal box: returns at once and keeps what was shown.
class RecordingMessageBox final : public IMessageBox {
public:
    struct Shown {
        std::string prompt;
        std::string title;
        bool operator==(const Shown&) const = default;
    };

    void Show(const std::string& prompt, const std::string& title) override;

    // Prompts in the order shown.
    std::vector<std::string> Prompts() const;

    std::vector<Shown> shown;
    // Runs while a box is "open", to act as the user would in that moment.
    std::function<void(const std::string& prompt)> onShow;
};

} // namespace chronavel::testing
