#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <limits>

namespace brisko::cli {
namespace {

TEST(JsonWriterTest, StringsAreEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "\"plain\""},
        {"a \"quoted\" \\ path\\", R"("a \"quoted\" \\ path\\")"},
        {"tab\tnew\nline\rfeed\fback\b", R"("tab\tnew\nline\rfeed\fback\b")"},
        {std::string("nul\0one\x01\x1f\x7f", 10), R"("nul\u0000one\u0001\u001f\u007f")"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},  // UTF-8 kept
        {"caf\xe9", "\"caf\xc3\xa9\""},                   // a Latin-1 byte becomes its character
        {"\xc3", "\"\xc3\x83\""},                         // a cut sequence
        {"\xc0\xaf", "\"\xc3\x80\xc2\xaf\""},             // an overlong '/'
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xc2\x80\""},  // a surrogate
        {"/<script>", "\"/<script>\""},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << ::testing::PrintToString(text);
}

TEST(JsonWriterTest, NumbersReadBackTheSameAndNonFiniteIsNull) {
    EXPECT_EQ(JsonNumber(4.3), "4.3");
    EXPECT_EQ(JsonNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(JsonNumber(-0.0), "0");
    EXPECT_EQ(JsonNumber(31), "31");
    EXPECT_EQ(JsonNumber(1e300), "1e+300");
    EXPECT_EQ(JsonNumber(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(JsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
}

TEST(JsonWriterTest, CommasBetweenMembersAndElementsOnly) {
    JsonWriter json;
    json.BeginObject()
        .Key("a").Int(-1)
        .Key("empty").BeginArray().EndArray()
        .Key("list").BeginArray().Int(1).Number(2.5).BeginObject().EndObject().String("x").EndArray()
        .Key("nested").BeginObject().Key("ok").Bool(true).Key("no").Bool(false).EndObject()
        .EndObject();
    EXPECT_EQ(json.Text(), R"({"a":-1,"empty":[],"list":[1,2.5,{},"x"],"nested":{"ok":true,"no":false}})");
}

}  // namespace
}  // namespace brisko::cli
