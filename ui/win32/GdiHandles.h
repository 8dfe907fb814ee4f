#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace chronavel {

struct FontDeleter {
    void operator()(HFONT font) const noexcept { DeleteObject(font); }
};

// Owns a font made with CreateFontW and deletes it.
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct IconDestroyer {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};

// Owns an icon loaded without LR_SHARED and destroys it.
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

} // namespace chronavel
