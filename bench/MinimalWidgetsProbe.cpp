// The yardstick: the smallest Qt Widgets program with one button, built the
// same way, ending as soon as its window has been shown.
#include "bench/PeakMemory.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QPushButton button(QStringLiteral("Request Time"));
    button.show();
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    const int status = QApplication::exec();
    chronavel::bench::PrintPeakMemory();
    return status;
}
