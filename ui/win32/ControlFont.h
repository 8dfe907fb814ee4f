#pragma once

#include "ui/win32/GdiHandles.h"

namespace chronavel {

// Tahoma 9 pt, regular, for a window at dpi. Throws PlatformError when GDI
// cannot make it.
UniqueFont CreateControlFont(UINT dpi);

} // namespace chronavel
