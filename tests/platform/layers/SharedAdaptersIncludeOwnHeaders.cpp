// Must compile: the toolkit-free adapters' own headers.
#include "platform/json/NlohmannJsonParser.h"
#include "platform/openssl/OpenSslAeadSiv.h"
#include "platform/openssl/OpenSslTlsKeyExchangeFactory.h"
#include "platform/timezone/EmbeddedTimeZoneService.h"
#include <nlohmann/json.hpp>
