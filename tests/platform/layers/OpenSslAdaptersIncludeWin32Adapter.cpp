// Must not compile: the OpenSSL adapters are shared by both flavours, so Windows' are out of reach.
#include "platform/win32/SystemErrorText.h"
