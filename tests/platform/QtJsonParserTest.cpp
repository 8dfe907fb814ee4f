// Reading top-level values out of the service's JSON.
#include "platform/qt/QtJsonParser.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace chronavel {
namespace {

TEST(QtJsonParser, ReadsTopLevelValuesAsText)
{
    QtJsonParser parser;
    ASSERT_EQ(parser.Parse(R"({"status":"OK","dstOffset":3600,"rawOffset":-18000,"half":3600.5,
                               "big":1e20,"flag":true,"nested":{"status":"no"},"none":null})"),
              1);
    EXPECT_EQ(parser.GetValue("status"), "OK");
    EXPECT_EQ(parser.GetValue("dstOffset"), "3600");
    EXPECT_EQ(parser.GetValue("rawOffset"), "-18000");
    EXPECT_EQ(parser.GetValue("half"), "3600.5");
    EXPECT_EQ(parser.GetValue("big"), "1e+20");
    EXPECT_EQ(parser.GetValue("flag"), "true");
    EXPECT_EQ(parser.GetValue("nested"), "");
    EXPECT_EQ(parser.GetValue("none"), "");
    EXPECT_EQ(parser.GetValue("absent"), "");
    EXPECT_EQ(parser.GetValue("Status"), "") << "keys are case-sensitive";
}

TEST(QtJsonParser, NumbersIgnoreTheUsersLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QtJsonParser parser;
    ASSERT_EQ(parser.Parse(R"({"dstOffset":3600.5})"), 1);
    EXPECT_EQ(parser.GetValue("dstOffset"), "3600.5");
    QLocale::setDefault(previous);
}

TEST(QtJsonParser, RejectsTextThatIsNotJson)
{
    for (const char* text : {"", "<html>busy</html>", "{\"status\":", "OK", "{} trailing"}) {
        QtJsonParser parser;
        EXPECT_NE(parser.Parse(text), 1) << text;
        EXPECT_EQ(parser.GetValue("status"), "") << text;
    }
}

} // namespace
} // namespace chronavel
