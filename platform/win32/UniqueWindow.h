#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace chronavel {

struct WindowDestroyer {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};

// Owns a window and destroys it.
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

} // namespace chronavel
