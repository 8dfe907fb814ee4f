#include "platform/qt/QtMessageBox.h"

#include "platform/PlatformError.h"
#include "platform/qt/ShutdownWatch.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace chronavel {

QtMessageBox::QtMessageBox(const ShutdownWatch& shutdown, std::string applicationTitle)
    : m_shutdown(shutdown)
    , m_applicationTitle(std::move(applicationTitle))
{
}

void QtMessageBox::Show(const std::string& prompt, const std::string& title)
{
    if (m_shutdown.IsShuttingDown()) {
        throw RequestAbandoned();
    }
    const std::string& caption = title.empty() ? m_applicationTitle : title;
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(prompt),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace chronavel
