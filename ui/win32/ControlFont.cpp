#include "ui/win32/ControlFont.h"

#include "platform/PlatformError.h"

namespace chronavel {

UniqueFont CreateControlFont(UINT dpi)
{
    constexpr int Points = 9;
    // A negative height asks for the character height, which is what points measure.
    const int height = -MulDiv(Points, static_cast<int>(dpi), 72);
    UniqueFont font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
    if (!font) {
        throw PlatformError("The font Tahoma 9 pt could not be made");
    }
    return font;
}

} // namespace chronavel
