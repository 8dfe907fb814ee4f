// Must not compile: the built-in time zone service is shared with a flavour that has no Qt.
#include <QtCore/QTimeZone>
