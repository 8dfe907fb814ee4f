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
    int textLeft = -1;
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
                seen.textLeft = label->mapTo(box, QPoint(0, 0)).x();
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
    for (const std::string prompt :
         {"P1", "Error: The secure connection to the time server failed: Name or service not known"}) {
        SCOPED_TRACE(prompt);
        const Seen seen = ShowAndLook(prompt, title.toStdString());
        EXPECT_GE(seen.width, QFontMetrics(titleFont).horizontalAdvance(title) + 3 * 24);
        // The room is the text's own, not an empty column pushing it to the right.
        EXPECT_LT(seen.textLeft, seen.width / 4);
    }
}

} // namespace
} // namespace chronavel
