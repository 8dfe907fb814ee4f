// Must not compile: the time lookup sees the platform only through its interfaces.
#include "platform/win32/Win32UdpSocket.h"
