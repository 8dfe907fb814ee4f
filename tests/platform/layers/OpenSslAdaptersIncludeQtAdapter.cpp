// Must not compile: the OpenSSL adapters are shared by both flavours, so the Qt one's are out of reach.
#include "platform/qt/QtEventPump.h"
