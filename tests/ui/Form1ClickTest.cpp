// What a click on "Request Time" does with each kind of answer.
#include "ui/qt/Form1.h"

#include "platform/PlatformError.h"
#include "tests/support/RecordingMessageBox.h"

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
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace chronavel {
namespace {

using chronavel::testing::RecordingMessageBox;
using ::testing::ElementsAre;
using Shown = RecordingMessageBox::Shown;

constexpr const char* Earlier = "1/2/2024 3:04:05 PM";
constexpr const char* ErrorTitle = "Error Validating Time";

// Stands in for the time lookup: each request takes the next step.
class ScriptedRequests {
public:
    using Step = std::function<std::string()>;

    void Then(Step step) { m_steps.push_back(std::move(step)); }
    void ThenAnswer(std::string answer)
    {
        Then([answer] { return answer; });
    }

    TimeRequest AsRequest()
    {
        return [this](const std::string& sProvince) {
            provinces.push_back(sProvince);
            if (m_steps.empty()) {
                ADD_FAILURE() << "a request nobody expected";
                return std::string("unexpected request");
            }
            Step step = std::move(m_steps.front());
            m_steps.pop_front();
            return step();
        };
    }

    std::size_t Remaining() const { return m_steps.size(); }

    std::vector<std::string> provinces;

private:
    std::deque<Step> m_steps;
};

class Form1Click : public ::testing::Test {
protected:
    void SetUp() override { form.show(); }

    QPushButton* Button() { return form.findChild<QPushButton*>("cmdRequestTime"); }
    QLabel* TimeLabel() { return form.findChild<QLabel*>("lblTimeLocal"); }
    std::string LabelText() { return TimeLabel()->text().toStdString(); }

    void Click() { QTest::mouseClick(Button(), Qt::LeftButton); }

    // A time already on show, so that "left as it was" can be told from "blanked".
    void ShowEarlierTime()
    {
        script.ThenAnswer(Earlier);
        Click();
        ASSERT_EQ(LabelText(), Earlier);
        messageBox.shown.clear();
        script.provinces.clear();
    }

    RecordingMessageBox messageBox;
    ScriptedRequests script;
    Form1 form{messageBox, script.AsRequest()};
};

TEST_F(Form1Click, AsksForOntario)
{
    script.ThenAnswer(Earlier);
    Click();
    EXPECT_THAT(script.provinces, ElementsAre("ON"));
}

TEST_F(Form1Click, EveryClickMakesAFreshRequest)
{
    script.ThenAnswer("1/1/2024 1:00:00 AM");
    script.ThenAnswer("1/1/2024 1:00:01 AM");
    script.ThenAnswer("1/1/2024 1:00:02 AM");
    for (const char* expected : {"1/1/2024 1:00:00 AM", "1/1/2024 1:00:01 AM", "1/1/2024 1:00:02 AM"}) {
        Click();
        EXPECT_EQ(LabelText(), expected);
    }
    EXPECT_THAT(script.provinces, ElementsAre("ON", "ON", "ON"));
    EXPECT_TRUE(messageBox.shown.empty());
}

struct AnswerCase {
    const char* name;
    const char* answer;
    bool isError;
};

void PrintTo(const AnswerCase& c, std::ostream* out)
{
    *out << c.name;
}

class Form1Answer : public Form1Click, public ::testing::WithParamInterface<AnswerCase> {};

// Only the first five characters decide, and only an exact "Error" is one.
TEST_P(Form1Answer, ErrorGoesToABoxAnythingElseToTheLabel)
{
    ShowEarlierTime();
    const AnswerCase& c = GetParam();
    script.ThenAnswer(c.answer);
    Click();

    ASSERT_EQ(script.provinces.size(), 1U);
    if (c.isError) {
        EXPECT_THAT(messageBox.shown, ElementsAre(Shown{c.answer, ErrorTitle}));
        EXPECT_EQ(LabelText(), Earlier);
    } else {
        EXPECT_TRUE(messageBox.shown.empty());
        EXPECT_EQ(LabelText(), c.answer);
    }
    EXPECT_EQ(TimeLabel()->accessibleName(), TimeLabel()->text());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Form1Answer,
    ::testing::Values(
        AnswerCase{"Timeout", "Error: Timeout", true}, AnswerCase{"InvalidReply", "Error: Invalid Time Reply", true},
        AnswerCase{"PlatformText", "Error: Host 'pool.ntp.org' not found", true},
        AnswerCase{"ExactlyError", "Error", true}, AnswerCase{"Errorless", "Errorless", true},
        AnswerCase{"LowerCase", "error: x", false}, AnswerCase{"UpperCase", "ERROR", false},
        AnswerCase{"ShorterThanFive", "Erro", false}, AnswerCase{"LeadingSpace", " Error: Timeout", false},
        AnswerCase{"Empty", "", false}, AnswerCase{"DateAndTime", "12/8/2026 2:10:22 AM", false},
        AnswerCase{"MidnightDateOnly", "12/8/2026", false}, AnswerCase{"OtherLocale", "08.12.2026 02:10:22", false}),
    [](const auto& tested) { return std::string(tested.param.name); });

struct ThrowCase {
    const char* name;
    std::function<void()> raise;
    const char* prompt;
};

void PrintTo(const ThrowCase& c, std::ostream* out)
{
    *out << c.name;
}

class Form1Failure : public Form1Click, public ::testing::WithParamInterface<ThrowCase> {};

TEST_P(Form1Failure, ExceptionIsShownAndTheWindowStaysUsable)
{
    ShowEarlierTime();
    const ThrowCase& c = GetParam();
    script.Then([&c]() -> std::string {
        c.raise();
        return "not reached";
    });
    Click();

    EXPECT_THAT(messageBox.shown, ElementsAre(Shown{c.prompt, ErrorTitle}));
    EXPECT_EQ(LabelText(), Earlier);

    script.ThenAnswer("12/8/2026 2:10:22 AM");
    Click();
    EXPECT_EQ(LabelText(), "12/8/2026 2:10:22 AM");
    EXPECT_EQ(messageBox.shown.size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Exceptions, Form1Failure,
                         ::testing::Values(ThrowCase{"PlatformError", [] { throw PlatformError("Connection refused"); },
                                                     "Error: Connection refused"},
                                           ThrowCase{"RuntimeError", [] { throw std::runtime_error("Out of sockets"); },
                                                     "Error: Out of sockets"},
                                           ThrowCase{"BadAlloc", [] { throw std::bad_alloc(); },
                                                     "Error: std::bad_alloc"}),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(Form1Click, AbandonedRequestShowsNothing)
{
    ShowEarlierTime();
    script.Then([]() -> std::string { throw RequestAbandoned(); });
    Click();

    EXPECT_THAT(script.provinces, ElementsAre("ON"));
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_EQ(LabelText(), Earlier);
}

// The box itself refuses once the application is closing.
TEST_F(Form1Click, ErrorBoxAbandonedWhileClosingEndsTheClickQuietly)
{
    ShowEarlierTime();
    messageBox.onShow = [](const std::string&) { throw RequestAbandoned(); };

    script.ThenAnswer("Error: Timeout");
    Click();
    script.Then([]() -> std::string { throw PlatformError("Network is unreachable"); });
    Click();

    EXPECT_THAT(messageBox.Prompts(), ElementsAre("Error: Timeout", "Error: Network is unreachable"));
    EXPECT_EQ(LabelText(), Earlier);
    EXPECT_EQ(script.Remaining(), 0U);
}

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
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

TEST_P(Form1Keyboard, KeyOnTheFocusedButtonRunsARequest)
{
    const KeyCase& c = GetParam();
    script.ThenAnswer("12/8/2026 2:10:22 AM");
    QTest::keyClick(QApplication::focusWidget(), c.key, c.modifiers);

    EXPECT_THAT(script.provinces, ElementsAre("ON"));
    EXPECT_EQ(LabelText(), "12/8/2026 2:10:22 AM");
    EXPECT_FALSE(Button()->isDefault());
}

INSTANTIATE_TEST_SUITE_P(Keys, Form1Keyboard,
                         ::testing::Values(KeyCase{"Space", Qt::Key_Space, Qt::NoModifier},
                                           KeyCase{"Return", Qt::Key_Return, Qt::NoModifier},
                                           KeyCase{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier}),
                         [](const auto& tested) { return std::string(tested.param.name); });

class Form1OtherKeys : public Form1Keyboard {};

TEST_P(Form1OtherKeys, KeyDoesNotRunARequest)
{
    const KeyCase& c = GetParam();
    QTest::keyClick(QApplication::focusWidget(), c.key, c.modifiers);
    EXPECT_TRUE(script.provinces.empty());
    EXPECT_EQ(LabelText(), "");
}

INSTANTIATE_TEST_SUITE_P(Keys, Form1OtherKeys,
                         ::testing::Values(KeyCase{"Letter", Qt::Key_A, Qt::NoModifier},
                                           KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier},
                                           KeyCase{"CtrlReturn", Qt::Key_Return, Qt::ControlModifier},
                                           KeyCase{"AltReturn", Qt::Key_Return, Qt::AltModifier}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// Holding Enter down repeats the key, not the request.
TEST_F(Form1Click, HeldReturnRequestsOnce)
{
    script.ThenAnswer("12/8/2026 2:10:22 AM");
    for (const bool bRepeat : {false, true, true}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), bRepeat);
        QApplication::sendEvent(Button(), &press);
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(Button(), &release);

    EXPECT_THAT(script.provinces, ElementsAre("ON"));
    EXPECT_EQ(LabelText(), "12/8/2026 2:10:22 AM");
}

// The first request, while it waits, sees a second click that runs a whole
// request of its own; then the first one finishes and has the last word.
TEST_F(Form1Click, SecondClickDuringARequestRunsNestedAndBothFinish)
{
    std::vector<std::string> seen;
    script.Then([&] {
        seen.push_back("first waits, label '" + LabelText() + "'");
        Button()->click();
        seen.push_back("first resumes, label '" + LabelText() + "'");
        return std::string("12/8/2026 2:10:23 AM");
    });
    script.ThenAnswer("12/8/2026 2:10:22 AM");

    Click();

    EXPECT_THAT(seen, ElementsAre("first waits, label ''", "first resumes, label '12/8/2026 2:10:22 AM'"));
    EXPECT_EQ(LabelText(), "12/8/2026 2:10:23 AM");
    EXPECT_THAT(script.provinces, ElementsAre("ON", "ON"));
    EXPECT_TRUE(messageBox.shown.empty());
}

// The same through the event loop: the mouse click is queued and only
// delivered because the waiting request pumps events.
TEST_F(Form1Click, ClickDeliveredByTheWaitingRequestsEventPump)
{
    bool bSecondDone = false;
    script.Then([&] {
        QTimer::singleShot(0, Button(), [this] { QTest::mouseClick(Button(), Qt::LeftButton); });
        for (int pumped = 0; pumped < 1000 && !bSecondDone; ++pumped) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        EXPECT_TRUE(bSecondDone) << "the queued click never ran";
        return std::string("12/8/2026 2:10:23 AM");
    });
    script.Then([&] {
        bSecondDone = true;
        return std::string("Error: Timeout");
    });

    Click();

    EXPECT_THAT(script.provinces, ElementsAre("ON", "ON"));
    EXPECT_THAT(messageBox.shown, ElementsAre(Shown{"Error: Timeout", ErrorTitle}));
    EXPECT_EQ(LabelText(), "12/8/2026 2:10:23 AM");
}

} // namespace
} // namespace chronavel
