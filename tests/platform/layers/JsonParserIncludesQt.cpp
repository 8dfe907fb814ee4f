// Must not compile: the JSON reader is shared with a flavour that has no Qt.
#include <QtCore/QString>
