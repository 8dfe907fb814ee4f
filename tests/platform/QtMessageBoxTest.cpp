// The box shows its texts as they are, and is wide enough for its title.
#include "platform/qt/QtMessageBox.h"

#include "platform/qt/ShutdownWatch.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace chronavel {
namespace {

struct Seen {
    QString text;  // as a screen reader reads the box's text
    int width = 0; // of the box
};

Seen ShowAndLook(const std::string& prompt, const std::string& title)
{
    Seen seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == QString::fromStdString(prompt)) {
                seen.text = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            }
        }
        seen.width = box->width();
        box->accept();
    });
    ShutdownWatch shutdown;
    QtMessageBox(shutdown, "Chronavel").Show(prompt, title);
    return seen;
}

TEST(QtMessageBox, ShowsTextThatLooksLikeHtmlAsItIs)
{
    const std::string prompt = "Error: <b>Host</b> &amp; <a href='x'>port</a>";
    EXPECT_EQ(ShowAndLook(prompt, "Error Validating Time").text.toStdString(), prompt);
}

// Window managers draw titles in bold, beside three buttons of about 24 pixels.
TEST(QtMessageBox, LeavesTheTitleBarRoomForTheTitle)
{
    const QString title = QStringLiteral("Error Validating Time");
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    EXPECT_GE(ShowAndLook("P1", title.toStdString()).width, QFontMetrics(titleFont).horizontalAdvance(title) + 3 * 24);
}

} // namespace
} // namespace chronavel
