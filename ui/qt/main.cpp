#include "ChronavelVersion.h"
#include "platform/qt/QtPlatform.h"
#include "ui/TimeRequest.h"
#include "ui/qt/Form1.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// Without a display QApplication aborts with a message about platform
// plugins; say plainly what is missing instead.
bool DisplayUnreachable(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return false;
    }
    // Qt's own -platform option picks a platform as well.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (DisplayUnreachable(argc, argv)) {
        std::fputs("Chronavel needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set.\n", stderr);
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chronavel"));
    QApplication::setApplicationVersion(QStringLiteral(CHRONAVEL_VERSION_STRING));
    // Wayland compositors find the desktop entry, and so the icon, by this name.
    QApplication::setDesktopFileName(QStringLiteral(CHRONAVEL_APP_ID));

    chronavel::QtPlatform qtPlatform;
    const chronavel::Platform& platform = qtPlatform.platform();
    chronavel::Form1 form(platform.messageBox, chronavel::RealTimeRequest(platform));
    form.show();
    return QApplication::exec();
}
