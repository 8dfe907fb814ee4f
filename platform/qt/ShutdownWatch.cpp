#include "platform/qt/ShutdownWatch.h"

#include <QGuiApplication>

namespace chronavel {

ShutdownWatch::ShutdownWatch()
{
    connect(qGuiApp, &QGuiApplication::lastWindowClosed, this, &ShutdownWatch::RequestShutdown);
}

} // namespace chronavel
