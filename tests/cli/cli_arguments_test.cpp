#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

#include <functional>
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

TEST(CliArgumentsTest, GoodLinesAreReadWhateverTheRootKeysCase) {
    const std::pair<std::vector<std::string>, std::function<bool(const Request&)>> cases[] = {
        {{"data-test", "--size=long", "--json", "--report", "a b.txt"},
         [](const Request& r) { return r.testFile == 2 && r.json && r.reportFile == "a b.txt"; }},
        {{"web-test", "http://127.0.0.1:8080/p.html"},
         [](const Request& r) { return r.engine == EngineChoice::Ie && r.runs == 1 && r.address == "http://127.0.0.1:8080/p.html"; }},
        {{"web-test", "--engine", "mozilla", "--runs", "100", "localhost", "--json"},
         [](const Request& r) { return r.engine == EngineChoice::Mozilla && r.runs == 100 && r.json; }},
        {{"read-reg", "hkey_current_user", "Volatile Environment", "HOMEPATH"},
         [](const Request& r) { return r.rootKey == kHkeyCurrentUser && r.valueName == "HOMEPATH"; }},
        {{"read-reg", "HkLm", "SOFTWARE\\Clients\\"},
         [](const Request& r) { return r.rootKey == kHkeyLocalMachine && r.valueName.empty(); }},
        {{"compare", "--", "--help"}, [](const Request& r) { return !r.help && r.file == "--help"; }},
        {{"history", "--csv", "--since=2024-05-01T10:30"}, [](const Request& r) { return r.csv && !r.json && r.since; }},
    };
    for (const auto& [args, holds] : cases) {
        const ParseResult result = ParseArguments(args);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_FALSE(result.request.help);
        EXPECT_TRUE(holds(result.request)) << ::testing::PrintToString(args);
    }
    for (const char* root : {"HKCR", "hkey_users", "HKCC"}) EXPECT_TRUE(ParseRootKey(root)) << root;
    for (const char* root : {"", "HK", "HKCU\\", " HKCU"}) EXPECT_FALSE(ParseRootKey(root)) << root;
}

TEST(CliArgumentsTest, BadLinesSayWhatIsWrongAndWhereHelpIs) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "brisko-cli: a command is needed.\nTry 'brisko-cli --help'."},
        {"speedtest", "unknown command \"speedtest\".\nTry 'brisko-cli --help'."},
        {"data-test --size huge", "unknown size \"huge\"; use quick, medium or long\nTry 'brisko-cli data-test --help'."},
        {"data-test --size", "--size needs a value"},
        {"data-test --size quick --size long", "--size is given more than once"},
        {"data-test --json=yes", "--json takes no value"},
        {"data-test --report=", "--report needs a file name"},
        {"history --json --csv", "--json and --csv cannot go together"},
        {"history --since 05/01/2024", "--since needs a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM, not \"05/01/2024\""},
        {"data-test extra", "unexpected \"extra\""},
        {"web-test ftp://host/x", "must be an http:// or https:// address"},
        {"web-test http://", "no valid host name"},
        {"web-test bad..host", "no valid host name"},
        {"web-test host:99999", "port outside 1 to 65535"},
        {"web-test x --engine opera", "unknown engine \"opera\"; use ie or mozilla"},
        {"web-test x --runs 0", "--runs must be a whole number from 1 to 100, not \"0\""},
        {"pro-boost --dial-up", "unknown option \"--dial-up\"\nTry 'brisko-cli pro-boost --help'."},
        {"read-reg HKCU", "missing the KEY"},
        {"read-reg HKXX key", "unknown root key \"HKXX\""},
    };
    for (const auto& [line, problem] : cases) {
        const ParseResult result = ParseArguments(Words(line));
        EXPECT_NE(result.error.find(problem), std::string::npos) << line << ": " << result.error;
        EXPECT_NE(result.error.find("\nTry 'brisko-cli "), std::string::npos) << line;
    }
}

TEST(CliArgumentsTest, HelpWinsAnywhereBeforeTheEndOfOptions) {
    const std::pair<std::vector<std::string>, Command> cases[] = {
        {{"--help"}, Command::None},
        {{"help", "compare"}, Command::Compare},
        {{"data-test", "--size", "huge", "-h"}, Command::DataTest},
        {{"read-reg", "--help"}, Command::ReadReg},
    };
    for (const auto& [args, command] : cases) {
        const ParseResult result = ParseArguments(args);
        EXPECT_TRUE(result.ok() && result.request.help && result.request.command == command) << args[0];
    }
    for (Command c : {Command::DataTest, Command::WebTest, Command::Boost, Command::ProBoost, Command::Restore,
                      Command::ReadReg, Command::Compare})
        EXPECT_EQ(HelpText(c).rfind("Usage: brisko-cli " + CommandName(c), 0), 0u);
}

}  // namespace
}  // namespace brisko::cli
