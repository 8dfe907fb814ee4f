// The program's start-up, ending as soon as its window has been shown.
#include "bench/PeakMemory.h"
#include "platform/qt/QtPlatform.h"
#include "ui/qt/Form1.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    chronavel::QtPlatform qtPlatform;
    const chronavel::Platform& platform = qtPlatform.platform();
    chronavel::Form1 form(platform.messageBox, chronavel::RealTimeRequest(platform));
    form.show();
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    const int status = QApplication::exec();
    chronavel::bench::PrintPeakMemory();
    return status;
}
