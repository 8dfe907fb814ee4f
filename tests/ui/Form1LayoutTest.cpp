// What the window looks like before anyone clicks: controls, fonts, focus, icon.
#include "ui/qt/Form1.h"

#include "platform/qt/QtDateFormatter.h"
#include "tests/support/RecordingMessageBox.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QtEndian>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace chronavel {
namespace {

using chronavel::testing::RecordingMessageBox;

const QStringList RequestedFamilies{"Tahoma", "Liberation Sans", "DejaVu Sans"};

class Form1Layout : public ::testing::Test {
protected:
    QWidget* Control(const char* name)
    {
        auto* control = form.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << "no control named " << name;
        return control;
    }
    QPushButton* Button() { return form.findChild<QPushButton*>("cmdRequestTime"); }
    QLabel* Label(const char* name) { return form.findChild<QLabel*>(QString::fromLatin1(name)); }

    RecordingMessageBox messageBox;
    int requests = 0;
    Form1 form{messageBox, [this](const std::string&) {
                   ++requests;
                   return std::string("1/2/2024 3:04:05 PM");
               }};
};

TEST_F(Form1Layout, WindowIsNamedAndTitled)
{
    EXPECT_EQ(form.objectName(), "Form1");
    EXPECT_EQ(form.windowTitle(), "Chronavel");
}

struct ControlCase {
    const char* name;
    const char* className;
    const char* caption;
    QRect geometry;
};

const ControlCase Controls[] = {
    {"cmdRequestTime", "QPushButton", "Request Time", QRect(28, 24, 97, 37)},
    {"Label2", "QLabel", "Local Time:", QRect(140, 36, 65, 17)},
    {"lblTimeLocal", "QLabel", "", QRect(208, 32, 201, 21)},
};

QString Caption(QWidget* control)
{
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    return QStringLiteral("<not a button or label>");
}

TEST_F(Form1Layout, ControlsHaveTheirClassCaptionAndPlace)
{
    form.show();
    for (const ControlCase& c : Controls) {
        SCOPED_TRACE(c.name);
        QWidget* control = Control(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_STREQ(control->metaObject()->className(), c.className);
        EXPECT_EQ(Caption(control), c.caption);
        EXPECT_EQ(control->geometry(), c.geometry);
        EXPECT_TRUE(control->isVisible());
    }
}

TEST_F(Form1Layout, ClientAreaIsFixedAt424By78)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.size(), QSize(424, 78));
    EXPECT_EQ(form.minimumSize(), QSize(424, 78));
    EXPECT_EQ(form.maximumSize(), QSize(424, 78));
    // Every control lies wholly inside the client area.
    for (const ControlCase& c : Controls) {
        EXPECT_TRUE(form.rect().contains(c.geometry)) << c.name;
    }
}

TEST_F(Form1Layout, FrameCannotBeMaximised)
{
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Window);
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
}

TEST_F(Form1Layout, TabOrderRunsButtonTimeLabelCaptionLabel)
{
    QWidget* button = Control("cmdRequestTime");
    QWidget* time = Control("lblTimeLocal");
    QWidget* caption = Control("Label2");
    ASSERT_TRUE(button && time && caption);
    EXPECT_EQ(button->nextInFocusChain(), time);
    EXPECT_EQ(time->nextInFocusChain(), caption);
    EXPECT_EQ(time->previousInFocusChain(), button);
    // Only the button is a tab stop.
    EXPECT_EQ(time->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(caption->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
}

TEST_F(Form1Layout, ButtonHasFocusAtStart)
{
    EXPECT_EQ(form.focusWidget(), Button());

    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), Button());
    EXPECT_TRUE(Button()->hasFocus());
}

TEST_F(Form1Layout, ButtonIsNeitherDefaultNorAutoDefault)
{
    ASSERT_NE(Button(), nullptr);
    EXPECT_FALSE(Button()->isDefault());
    EXPECT_FALSE(Button()->autoDefault());

    // Nor a cancel button: Escape does nothing.
    form.show();
    QTest::keyClick(Button(), Qt::Key_Escape);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(requests, 0);
    EXPECT_TRUE(form.isVisible());
}

// As a screen reader reads them.
TEST_F(Form1Layout, AccessibleNamesMatchWhatIsShown)
{
    const auto name = [this](const char* control) {
        return QAccessible::queryAccessibleInterface(Control(control))->text(QAccessible::Name);
    };
    EXPECT_EQ(name("cmdRequestTime"), "Request Time");
    EXPECT_EQ(name("Label2"), "Local Time:");
    EXPECT_EQ(name("lblTimeLocal"), "");
}

TEST_F(Form1Layout, EveryControlAsksForTahoma9Regular)
{
    for (const ControlCase& c : Controls) {
        SCOPED_TRACE(c.name);
        QWidget* control = Control(c.name);
        ASSERT_NE(control, nullptr);
        const QFont font = control->font();
        EXPECT_EQ(font.families(), RequestedFamilies);
        EXPECT_EQ(font.pointSize(), 9);
        EXPECT_EQ(font.weight(), QFont::Normal);
        EXPECT_FALSE(font.bold());
        EXPECT_FALSE(font.italic());
        EXPECT_FALSE(font.underline());
        EXPECT_FALSE(font.strikeOut());
    }
}

TEST_F(Form1Layout, FontResolvesToTheFirstInstalledFamily)
{
    const QStringList installed = QFontDatabase::families();
    QString expected;
    for (const QString& family : RequestedFamilies) {
        if (installed.contains(family)) {
            expected = family;
            break;
        }
    }
    ASSERT_FALSE(expected.isEmpty()) << "none of the families is installed (scripts/install-deps installs them)";

    for (const ControlCase& c : Controls) {
        QWidget* control = Control(c.name);
        ASSERT_NE(control, nullptr);
        const QFontInfo resolved(control->font());
        EXPECT_EQ(resolved.family(), expected) << c.name;
        EXPECT_EQ(resolved.pointSize(), 9) << c.name;
        EXPECT_FALSE(resolved.bold()) << c.name;
        EXPECT_FALSE(resolved.italic()) << c.name;
    }
}

TEST_F(Form1Layout, ButtonCaptionFitsInsideTheBevel)
{
    QPushButton* button = Button();
    ASSERT_NE(button, nullptr);
    QStyleOptionButton option;
    option.initFrom(button);
    option.rect = button->rect();
    option.text = button->text();
    const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);

    const QFontMetrics metrics(button->font());
    EXPECT_LE(metrics.horizontalAdvance(button->text()), contents.width());
    EXPECT_LE(metrics.height(), contents.height());
}

TEST_F(Form1Layout, CaptionLabelFitsItsBox)
{
    QLabel* label = Label("Label2");
    ASSERT_NE(label, nullptr);
    const QFontMetrics metrics(label->font());
    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width());
    EXPECT_LE(metrics.height(), label->contentsRect().height());
}

// The widest time each locale writes: two-digit month, day and hour.
class TimeLabelFits : public Form1Layout, public ::testing::WithParamInterface<QLocale::Language> {};

TEST_P(TimeLabelFits, WidestTimeOfTheLocale)
{
    QLabel* label = Label("lblTimeLocal");
    ASSERT_NE(label, nullptr);
    const QLocale locale(GetParam(), GetParam() == QLocale::English ? QLocale::UnitedStates : QLocale::AnyTerritory);
    const QtDateFormatter formatter(locale);
    const std::string widest = formatter.FormatGeneralDate({2024, 12, 28, 22, 58, 58});
    const QFontMetrics metrics(label->font());
    EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(widest)), label->contentsRect().width()) << widest;
    EXPECT_LE(metrics.height(), label->contentsRect().height());
}

INSTANTIATE_TEST_SUITE_P(Locales, TimeLabelFits,
                         ::testing::Values(QLocale::English, QLocale::French, QLocale::German, QLocale::Spanish),
                         [](const auto& tested) { return QLocale::languageToCode(tested.param).toStdString(); });

struct IconCase {
    const char* resource;
    int size;
    int maxColours;
};

const IconCase Icons[] = {
    {":/chronavel/chronavel-16.png", 16, 16},
    {":/chronavel/chronavel-32.png", 32, 16},
    {":/chronavel/chronavel-48.png", 48, 256},
};

TEST_F(Form1Layout, WindowIconHasThe16_32And48PixelImages)
{
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    EXPECT_THAT(sizes, ::testing::UnorderedElementsAre(QSize(16, 16), QSize(32, 32), QSize(48, 48)));
}

TEST_F(Form1Layout, IconImagesArePalettedClockFaces)
{
    for (const IconCase& c : Icons) {
        SCOPED_TRACE(c.resource);
        const QImage image(QString::fromLatin1(c.resource));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(c.size, c.size));
        EXPECT_EQ(image.format(), QImage::Format_Indexed8);
        EXPECT_GT(image.colorCount(), 2);
        EXPECT_LE(image.colorCount(), c.maxColours);
        // A round mark: transparent corners, opaque middle.
        const int last = c.size - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)}) {
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0);
        }
        EXPECT_EQ(qAlpha(image.pixel(c.size / 2, c.size / 2)), 255);
        EXPECT_EQ(qAlpha(image.pixel(c.size / 2, 1)), 255) << "rim at the top";
    }
}

// The Windows icon file holds the same three pictures, as 4- and 8-bit bitmaps.
TEST(Form1IconFile, IcoMatchesThePngs)
{
    const QString path = QStringLiteral(CHRONAVEL_ICON_DIR "/chronavel.ico");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 6 + 3 * 16);
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    EXPECT_EQ(qFromLittleEndian<quint16>(data + 2), 1) << "an icon, not a cursor";
    ASSERT_EQ(qFromLittleEndian<quint16>(data + 4), 3);
    const int expectedBits[] = {4, 4, 8};
    for (int i = 0; i < 3; ++i) {
        const uchar* entry = data + 6 + 16 * i;
        EXPECT_EQ(entry[0], Icons[i].size);
        EXPECT_EQ(qFromLittleEndian<quint16>(entry + 6), expectedBits[i]) << Icons[i].size;
    }

    QImageReader reader(path);
    ASSERT_EQ(reader.imageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(Icons[i].size);
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage fromIco = reader.read().convertToFormat(QImage::Format_ARGB32);
        const QImage fromPng = QImage(QString::fromLatin1(Icons[i].resource)).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(fromIco.size(), fromPng.size());
        int differing = 0;
        for (int y = 0; y < fromPng.height(); ++y) {
            for (int x = 0; x < fromPng.width(); ++x) {
                const QRgb a = fromIco.pixel(x, y);
                const QRgb b = fromPng.pixel(x, y);
                if (qAlpha(a) != qAlpha(b) || (qAlpha(b) != 0 && (a & 0xFFFFFF) != (b & 0xFFFFFF))) {
                    ++differing;
                }
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

} // namespace
} // namespace chronavel
