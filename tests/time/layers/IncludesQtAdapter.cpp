// Must not compile: the time lookup sees the platform only through its interfaces.
#include "platform/qt/QtUdpSocket.h"
