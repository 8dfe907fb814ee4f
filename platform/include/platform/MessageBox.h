#pragma once

#include <string>

namespace chronavel {

// A modal box with a prompt and an OK button only, no icon.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;

    // Returns once the user has dismissed the box. An empty title stands for
    // the application's own title.
    virtual void Show(const std::string& prompt, const std::string& title) = 0;
};

} // namespace chronavel
