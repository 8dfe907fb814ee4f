#pragma once

namespace chronavel {

// Runs the thread's message loop until WM_QUIT and returns the exit code it
// carries. Throws PlatformError should the loop itself fail.
int RunMessageLoop();

} // namespace chronavel
