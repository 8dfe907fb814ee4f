#include "platform/qt/QtMessageBox.h"

#include "platform/PlatformError.h"
#include "platform/qt/ShutdownWatch.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

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
    const QString caption = QString::fromStdString(title.empty() ? m_applicationTitle : title);
    QMessageBox box(QMessageBox::NoIcon, caption, QString::fromStdString(prompt), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    // Texts come from the network and the system: never read them as HTML.
    box.setTextFormat(Qt::PlainText);
    // A box as narrow as "P1" gets its title cut to "..." by the window manager;
    // a spacer in a row of its own, across the whole box, leaves the title bar
    // room for the title and its buttons.
    constexpr int TitleBarButtonsWidth = 96;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(QFontMetrics(titleFont).horizontalAdvance(caption) + TitleBarButtonsWidth, 0),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

} // namespace chronavel
