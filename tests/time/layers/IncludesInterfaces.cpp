// Must compile: what the time lookup may include.
#include "platform/Platform.h"
#include "sntp/NtpPacket.h"
#include "time/clsCheckTime.h"
