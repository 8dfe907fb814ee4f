// What the window does with its button: a click, or a key on it, hands the
// answer to the shared handler (whose answer table is RequestTimeClickTest's),
// and a click still runs while a request waits.
#include "ui/qt/Form1.h"

#include "tests/support/RecordingMessageBox.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace chronavel {
namespace {

using chronavel::testing::RecordingMessageBox;
using ::testing::ElementsAre;
using Shown = RecordingMessageBox::Shown;

constexpr const char* Time = "12/8/2026 2:10:22 AM";

class Form1Click : public ::testing::Test {
protected:
    void SetUp() override { form.show(); }

    // Each request takes the next answer.
    TimeRequest Requests()
    {
        return [this](const std::string& sProvince) {
            provinces.push_back(sProvince);
            if (answers.empty()) {
                ADD_FAILURE() << "a request nobody expected";
                return std::string();
            }
            const std::function<std::string()> answer = std::move(answers.front());
            answers.pop_front();
            return answer();
        };
    }

    QPushButton* Button() { return form.findChild<QPushButton*>("cmdRequestTime"); }
    QLabel* TimeLabel() { return form.findChild<QLabel*>("lblTimeLocal"); }
    std::string LabelText() { return TimeLabel()->text().toStdString(); }
    void Click() { QTest::mouseClick(Button(), Qt::LeftButton); }

    RecordingMessageBox messageBox;
    std::deque<std::function<std::string()>> answers;
    std::vector<std::string> provinces;
    Form1 form{messageBox, Requests()};
};

TEST_F(Form1Click, ShowsATimeInTheLabelAndAnErrorInABox)
{
    answers = {[] { return std::string(Time); }, [] { return std::string("Error: Timeout"); }};
    Click();
    EXPECT_EQ(LabelText(), Time);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(TimeLabel())->text(QAccessible::Name).toStdString(), Time);
    EXPECT_TRUE(messageBox.shown.empty());

    Click();
    EXPECT_THAT(messageBox.shown, ElementsAre(Shown{"Error: Timeout", "Error Validating Time"}));
    EXPECT_EQ(LabelText(), Time);
    EXPECT_THAT(provinces, ElementsAre("ON", "ON"));
}

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool requests;
};

void PrintTo(const KeyCase& c, std::ostream* out)
{
    *out << c.name;
}

class Form1Keyboard : public Form1Click, public ::testing::WithParamInterface<KeyCase> {
protected:
    void SetUp() override
    {
        Form1Click::SetUp();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        ASSERT_EQ(QApplication::focusWidget(), Button());
    }
};

// Enter presses the focused button as Space does, though it is not the default button.
TEST_P(Form1Keyboard, OnTheFocusedButton)
{
    const KeyCase& c = GetParam();
    if (c.requests) {
        answers = {[] { return std::string(Time); }};
    }
    QTest::keyClick(QApplication::focusWidget(), c.key, c.modifiers);

    EXPECT_EQ(provinces.size(), c.requests ? 1U : 0U);
    EXPECT_EQ(LabelText(), c.requests ? Time : "");
    EXPECT_FALSE(Button()->isDefault());
}

INSTANTIATE_TEST_SUITE_P(Keys, Form1Keyboard,
                         ::testing::Values(KeyCase{"Space", Qt::Key_Space, Qt::NoModifier, true},
                                           KeyCase{"Return", Qt::Key_Return, Qt::NoModifier, true},
                                           KeyCase{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, true},
                                           KeyCase{"Letter", Qt::Key_A, Qt::NoModifier, false},
                                           KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, false},
                                           KeyCase{"CtrlReturn", Qt::Key_Return, Qt::ControlModifier, false},
                                           KeyCase{"AltReturn", Qt::Key_Return, Qt::AltModifier, false}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// Holding Enter down repeats the key, not the request.
TEST_F(Form1Click, HeldReturnRequestsOnce)
{
    answers = {[] { return std::string(Time); }};
    for (const bool bRepeat : {false, true, true}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), bRepeat);
        QApplication::sendEvent(Button(), &press);
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(Button(), &release);

    EXPECT_THAT(provinces, ElementsAre("ON"));
    EXPECT_EQ(LabelText(), Time);
}

// A click queued while the first request waits is delivered by that request's
// pumping and runs a whole request of its own; then the first one finishes
// and has the last word.
TEST_F(Form1Click, ClickDeliveredByTheWaitingRequestsEventPump)
{
    bool bSecondDone = false;
    answers.push_back([&] {
        QTimer::singleShot(0, Button(), [this] { Click(); });
        for (int pumped = 0; pumped < 1000 && !bSecondDone; ++pumped) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        EXPECT_TRUE(bSecondDone) << "the queued click never ran";
        return std::string(Time);
    });
    answers.push_back([&] {
        bSecondDone = true;
        return std::string("Error: Timeout");
    });

    Click();

    EXPECT_THAT(provinces, ElementsAre("ON", "ON"));
    EXPECT_THAT(messageBox.shown, ElementsAre(Shown{"Error: Timeout", "Error Validating Time"}));
    EXPECT_EQ(LabelText(), Time);
}

} // namespace
} // namespace chronavel
