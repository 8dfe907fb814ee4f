#pragma once

#include "platform/MessageBox.h"

#include <functional>
#include <string>
#include <vector>

namespace chronavel::testing {

// The progress boxes of a request that succeeds, in order.
inline const std::vector<std::string> AllCheckpoints{"P1", "P2", "P3", "P4", "P5", "P6", "P7", "P8", "P9"};

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
