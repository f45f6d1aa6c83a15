#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <limits>

namespace brisko::cli {
namespace {

TEST(JsonWriterTest, StringsAreEscapedIntoValidJson) {
    const std::pair<std::string, std::string> cases[] = {
        {"a \"quoted\" \\ path\\", R"("a \"quoted\" \\ path\\")"},
        {"tab\tnew\nline\rfeed\fback\b", R"("tab\tnew\nline\rfeed\fback\b")"},
        {std::string("nul\0one\x01\x1f\x7f", 10), R"("nul\u0000one\u0001\u001f\u007f")"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},  // UTF-8 kept
        {"caf\xe9", "\"caf\xc3\xa9\""},                   // a Latin-1 byte becomes its character
        {"\xc3", "\"\xc3\x83\""},                         // a cut sequence
        {"\xc0\xaf", "\"\xc3\x80\xc2\xaf\""},             // an overlong '/'
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xc2\x80\""},  // a surrogate
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << ::testing::PrintToString(text);
}

TEST(JsonWriterTest, NonFiniteNumbersBecomeNullAndCommasSeparateOnlyItems) {
    JsonWriter json;
    json.BeginObject()
        .Key("a").Int(-1)
        .Key("empty").BeginArray().EndArray()
        .Key("list").BeginArray().Number(4.3).Number(0.1 + 0.2).BeginObject().EndObject().String("x").EndArray()
        .Key("odd").BeginArray().Number(-0.0).Number(1e300).Number(std::numeric_limits<double>::infinity()).EndArray()
        .Key("nested").BeginObject().Key("ok").Bool(true).Key("no").Bool(false).EndObject()
        .EndObject();
    EXPECT_EQ(json.Text(), R"({"a":-1,"empty":[],"list":[4.3,0.30000000000000004,{},"x"],"odd":[0,1e+300,null],)"
                           R"("nested":{"ok":true,"no":false}})");
}

}  // namespace
}  // namespace brisko::cli
