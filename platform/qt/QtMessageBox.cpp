#include "platform/qt/QtMessageBox.h"

#include "platform/PlatformError.h"
#include "platform/qt/ShutdownWatch.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>

#include <utility>

namespace chronavel {
namespace {

// A box as narrow as "P1" gets its title cut to "..." by the window manager;
// widen the text so the title bar has room for the title and its buttons.
void WidenForTitle(QMessageBox& box, const QString& title)
{
    constexpr int TitleBarButtonsWidth = 96;
    if (auto* text = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont titleFont = box.font();
        titleFont.setBold(true);
        text->setMinimumWidth(QFontMetrics(titleFont).horizontalAdvance(title) + TitleBarButtonsWidth);
    }
}

} // namespace

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
    WidenForTitle(box, QString::fromStdString(caption));
    box.exec();
}

} // namespace chronavel
