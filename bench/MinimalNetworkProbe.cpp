// The yardstick with the two network libraries the program needs linked in
// (Qt Network for UDP, libcurl for HTTPS), to tell their loading cost apart
// from the program's own start-up work.
#include "bench/PeakMemory.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <curl/curl.h>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QPushButton button(QStringLiteral("Request Time"));
    button.show();
    // Referenced, so the linker keeps both libraries; never run.
    if (argc > 99) {
        QUdpSocket socket;
        std::puts(curl_version());
    }
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    const int status = QApplication::exec();
    chronavel::bench::PrintPeakMemory();
    return status;
}
