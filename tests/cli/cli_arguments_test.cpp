#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/registry_read.h"

namespace brisko::cli {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

TEST(CliArgumentsTest, GoodLines) {
    struct Case {
        std::vector<std::string> args;
        std::function<bool(const Request&)> holds;
    };
    const Case cases[] = {
        {{"data-test"}, [](const Request& r) { return r.command == Command::DataTest && r.testFile == 0 && !r.json; }},
        {{"data-test", "--size", "long", "--json"},
         [](const Request& r) { return r.testFile == 2 && r.json && r.reportFile.empty(); }},
        {{"data-test", "--size=medium", "--report=a b.txt"},
         [](const Request& r) { return r.testFile == 1 && r.reportFile == "a b.txt"; }},
        {{"data-test", "--report", "--json"},  // a file may be named so; the value is taken as given
         [](const Request& r) { return r.reportFile == "--json" && !r.json; }},
        {{"web-test", "http://127.0.0.1:8080/page.html"},
         [](const Request& r) {
             return r.command == Command::WebTest && r.engine == EngineChoice::Ie && r.runs == 1 &&
                    r.address == "http://127.0.0.1:8080/page.html";
         }},
        {{"web-test", "--engine", "mozilla", "--runs", "100", "localhost", "--json"},
         [](const Request& r) {
             return r.engine == EngineChoice::Mozilla && r.runs == 100 && r.address == "localhost" && r.json;
         }},
        {{"web-test", "--", "www.example.com"}, [](const Request& r) { return r.address == "www.example.com"; }},
        {{"boost"}, [](const Request& r) { return r.command == Command::Boost && !r.dialUp; }},
        {{"boost", "--dial-up"}, [](const Request& r) { return r.dialUp; }},
        {{"pro-boost"}, [](const Request& r) { return r.command == Command::ProBoost; }},
        {{"restore"}, [](const Request& r) { return r.command == Command::Restore; }},
        {{"read-reg", "hkcu", "Volatile Environment", "HOMEPATH"},
         [](const Request& r) {
             return r.command == Command::ReadReg && r.rootKey == kHkeyCurrentUser &&
                    r.keyPath == "Volatile Environment" && r.valueName == "HOMEPATH";
         }},
        {{"read-reg", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Clients\\"},
         [](const Request& r) { return r.rootKey == kHkeyLocalMachine && r.valueName.empty(); }},
        {{"compare", "results.txt"}, [](const Request& r) { return r.command == Command::Compare && r.file == "results.txt"; }},
        {{"compare", "--", "-odd name"}, [](const Request& r) { return r.file == "-odd name"; }},
    };
    for (const Case& c : cases) {
        const ParseResult result = ParseArguments(c.args);
        const std::string line = ::testing::PrintToString(c.args);
        ASSERT_TRUE(result.ok()) << line << ": " << result.error;
        EXPECT_FALSE(result.request.help) << line;
        EXPECT_TRUE(c.holds(result.request)) << line;
    }
}

TEST(CliArgumentsTest, BadLinesSayWhatIsWrongAndWhereHelpIs) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "a command is needed"},
        {"speedtest", "unknown command \"speedtest\""},
        {"help nothing", "unknown command \"nothing\""},
        {"data-test --size huge", "unknown size \"huge\"; use quick, medium or long"},
        {"data-test --size", "--size needs a value"},
        {"data-test --size quick --size long", "--size is given more than once"},
        {"data-test --json=yes", "--json takes no value"},
        {"data-test --report=", "--report needs a file name"},
        {"data-test extra", "unexpected \"extra\""},
        {"data-test --dial-up", "unknown option \"--dial-up\""},
        {"web-test", "missing the ADDRESS"},
        {"web-test a b", "unexpected \"b\""},
        {"web-test ftp://host/x", "must be an http:// or https:// address"},
        {"web-test http://", "no valid host name"},
        {"web-test http://host:0/", "port outside 1 to 65535"},
        {"web-test host:99999", "port outside 1 to 65535"},
        {"web-test host:", "a colon but no port"},
        {"web-test bad..host", "no valid host name"},
        {"web-test http://[::1/", "unclosed ["},
        {"web-test x --engine opera", "unknown engine \"opera\"; use ie or mozilla"},
        {"web-test x --runs 0", "--runs must be a whole number from 1 to 100, not \"0\""},
        {"web-test x --runs 101", "not \"101\""},
        {"web-test x --runs -3", "not \"-3\""},
        {"web-test x --runs 2x", "not \"2x\""},
        {"boost now", "unexpected \"now\""},
        {"boost --dial-up --dial-up", "--dial-up is given more than once"},
        {"pro-boost --dial-up", "unknown option \"--dial-up\""},
        {"read-reg", "missing the ROOT key and the KEY"},
        {"read-reg HKCU", "missing the KEY"},
        {"read-reg HKXX key", "unknown root key \"HKXX\""},
        {"read-reg HKCU a b c", "unexpected \"c\""},
        {"compare", "missing the FILE"},
        {"compare a b", "unexpected \"b\""},
    };
    for (const auto& [line, problem] : cases) {
        const ParseResult result = ParseArguments(Words(line));
        ASSERT_FALSE(result.ok()) << line;
        EXPECT_NE(result.error.find(problem), std::string::npos) << line << ": " << result.error;
        const std::string command = Words(line).empty() ? "" : Words(line)[0];
        const bool known = command != "speedtest" && command != "help" && !command.empty();
        const std::string hint = known ? "Try 'brisko-cli " + command + " --help'." : "Try 'brisko-cli --help'.";
        EXPECT_NE(result.error.find(hint), std::string::npos) << line << ": " << result.error;
    }
    const ParseResult blank = ParseArguments({"web-test", "http://a b/"});
    EXPECT_NE(blank.error.find("holds a blank or a control character"), std::string::npos);
    EXPECT_FALSE(ParseArguments({"compare", ""}).ok());
}

TEST(CliArgumentsTest, HelpForTheProgramAndEachCommand) {
    const std::pair<std::vector<std::string>, Command> cases[] = {
        {{"--help"}, Command::None},
        {{"-h"}, Command::None},
        {{"help"}, Command::None},
        {{"help", "compare"}, Command::Compare},
        {{"data-test", "--help"}, Command::DataTest},
        {{"data-test", "--size", "huge", "-h"}, Command::DataTest},  // help wins over a bad option
        {{"web-test", "--help"}, Command::WebTest},
        {{"boost", "--help"}, Command::Boost},
        {{"pro-boost", "-h"}, Command::ProBoost},
        {{"restore", "--help"}, Command::Restore},
        {{"read-reg", "--help"}, Command::ReadReg},
    };
    for (const auto& [args, command] : cases) {
        const ParseResult result = ParseArguments(args);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_TRUE(result.request.help);
        EXPECT_EQ(result.request.command, command);
    }
    // After "--" it is an operand, not a request for help.
    const ParseResult operand = ParseArguments({"compare", "--", "--help"});
    ASSERT_TRUE(operand.ok());
    EXPECT_FALSE(operand.request.help);
    EXPECT_EQ(operand.request.file, "--help");

    for (Command c : {Command::DataTest, Command::WebTest, Command::Boost, Command::ProBoost, Command::Restore,
                      Command::ReadReg, Command::Compare}) {
        EXPECT_EQ(HelpText(c).rfind("Usage: brisko-cli " + CommandName(c), 0), 0u) << CommandName(c);
        EXPECT_NE(HelpText(Command::None).find("  " + CommandName(c) + " "), std::string::npos) << CommandName(c);
    }
}

TEST(CliArgumentsTest, RootKeysInEitherFormAndAnyCase) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"HKCU", kHkeyCurrentUser},          {"hkey_current_user", kHkeyCurrentUser},
        {"HkLm", kHkeyLocalMachine},         {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
        {"hkcr", kHkeyClassesRoot},          {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
        {"HKU", kHkeyUsers},                 {"hkey_users", kHkeyUsers},
        {"HKCC", kHkeyCurrentConfig},        {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
    };
    for (const auto& [text, handle] : cases) EXPECT_EQ(ParseRootKey(text), handle) << text;
    for (const char* text : {"", "HK", "HKEY_CURRENT", "HKCU\\", " HKCU", "CURRENT_USER"})
        EXPECT_EQ(ParseRootKey(text), std::nullopt) << text;
}

}  // namespace
}  // namespace brisko::cli
