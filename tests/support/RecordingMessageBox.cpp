#include "tests/support/RecordingMessageBox.h"

namespace chronavel::testing {

void RecordingMessageBox::Show(const std::string& prompt, const std::string& title)
{
    shown.push_back({prompt, title});
    if (onShow) {
        onShow(prompt);
    }
}

std::vector<std::string> RecordingMessageBox::Prompts() const
{
    std::vector<std::string> prompts;
    for (const Shown& box : shown) {
        prompts.push_back(box.prompt);
    }
    return prompts;
}

} // namespace chronavel::testing
