#pragma once

#include <windows.h>

#include <winhttp.h>

#include <memory>

namespace chronavel {

struct InternetHandleCloser {
    void operator()(HINTERNET handle) const noexcept { WinHttpCloseHandle(handle); }
};

// Owns a WinHTTP session, connection or request handle and closes it.
using UniqueInternetHandle = std::unique_ptr<void, InternetHandleCloser>;

} // namespace chronavel
