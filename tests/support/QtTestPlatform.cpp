#include "tests/support/QtTestPlatform.h"

namespace chronavel::testing {

QtTestPlatform::QtTestPlatform(IHttpClientFactory* httpClients)
    : platform{messageBox,
               eventPump,
               wallClock,
               monotonicClock,
               randomSource,
               udpSockets,
               httpClients != nullptr ? *httpClients : curlHttpClients,
               jsonParsers,
               dateFormatter,
               &tlsKeyExchanges,
               &aeadSiv}
{
}

} // namespace chronavel::testing
