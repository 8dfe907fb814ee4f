// Must not compile: the OpenSSL adapters are for a flavour without Qt too.
#include <QtCore/QObject>
