// Reading top-level values out of the service's JSON.
#include "platform/json/NlohmannJsonParser.h"

#include <gtest/gtest.h>

#include <locale>

namespace chronavel {
namespace {

constexpr const char* Answer = R"({"status":"OK","dstOffset":3600,"rawOffset":-18000,"half":3600.5,"tiny":1e-7,
    "big":1e20,"wide":12345678901234567,"flag":true,"off":false,"nested":{"status":"no"},"list":[1],"none":null,
    "twice":1,"twice":2,"text":"caf\u00e9 \"q\""})";

TEST(NlohmannJsonParser, ReadsTopLevelMembersAsText)
{
    NlohmannJsonParser parser;
    ASSERT_EQ(parser.Parse(Answer), 1);
    const std::pair<const char*, const char*> expected[] = {
        {"status", "OK"},
        {"dstOffset", "3600"},
        {"rawOffset", "-18000"},
        {"half", "3600.5"},
        {"tiny", "1e-07"},
        {"big", "1e+20"},
        {"wide", "12345678901234568"},
        {"flag", "true"},
        {"off", "false"},
        {"nested", ""},
        {"list", ""},
        {"none", ""},
        {"absent", ""},
        {"Status", ""},
        {"twice", "2"},
        {"text", "caf\u00e9 \"q\""},
    };
    for (const auto& [key, text] : expected) {
        EXPECT_EQ(parser.GetValue(key), text) << key;
    }
}

struct CommaDecimals : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(NlohmannJsonParser, NumbersIgnoreTheProgramsLocale)
{
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
    NlohmannJsonParser parser;
    const int parsed = parser.Parse(R"({"dstOffset":3600.5})");
    const std::string text = parser.GetValue("dstOffset");
    std::locale::global(previous);
    EXPECT_EQ(parsed, 1);
    EXPECT_EQ(text, "3600.5");
}

TEST(NlohmannJsonParser, AnythingButAnObjectOrArrayIsRefusedAndReadsEmpty)
{
    for (const char* text : {"", "<html>busy</html>", "{\"status\":", "OK", "\"OK\"", "42", "{} trailing",
                             "{\"status\":\"\xff\"}", "{\"dstOffset\":1e400}", "[{\"status\":\"OK\"}]"}) {
        NlohmannJsonParser parser;
        ASSERT_EQ(parser.Parse(Answer), 1);
        const bool isArray = text[0] == '[';
        EXPECT_EQ(parser.Parse(text), isArray ? 1 : 0) << text;
        EXPECT_EQ(parser.GetValue("status"), "") << "nothing left of the previous document: " << text;
    }
}

} // namespace
} // namespace chronavel
