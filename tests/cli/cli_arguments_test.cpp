// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <sstream>

#include "cli/build_traits.h"
#include "platform/registry_read.h"

namespace brisko::cli {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

TEST(CliArgumentsTest, GoodLinesFillTheRequestInlineValuesToo) {
    const std::pair<std::vector<std::string>, std::function<bool(const Request&)>> cases[] = {
        {{"data-test", "--size=long", "--json", "--report", "a b.txt", "--runs", "20"},
         [](const Request& r) { return r.testFile == 2 && r.json && r.reportFile == "a b.txt" && r.runs == 20; }},
        {{"data-test"}, [](const Request& r) { return r.testFile == 0 && r.reportFile.empty() && r.runs == 1; }},
        {{"web-test", "http://127.0.0.1:8080/p.html"},
         [](const Request& r) { return r.engine == EngineChoice::Ie && r.runs == 1 && r.address == "http://127.0.0.1:8080/p.html"; }},
        {{"web-test", "--engine", "mozilla", "--runs=0100", "[::1]:8080", "--json"},
         [](const Request& r) { return r.engine == EngineChoice::Mozilla && r.runs == 100 && r.json && r.address == "[::1]:8080"; }},
        {{"web-test", "[::1]"}, [](const Request& r) { return r.address == "[::1]"; }},
        {{"read-reg", "hkey_current_user", "Volatile Environment", "HOMEPATH"},
         [](const Request& r) { return r.rootKey == kHkeyCurrentUser && r.valueName == "HOMEPATH"; }},
        {{"read-reg", "HkLm", "SOFTWARE\\Clients\\"},
         [](const Request& r) { return r.rootKey == kHkeyLocalMachine && r.valueName.empty(); }},
        {{"read-reg", "hkcc", "-5"}, [](const Request& r) { return r.rootKey == kHkeyCurrentConfig && r.keyPath == "-5"; }},
        {{"compare", "--", "--help"}, [](const Request& r) { return r.file == "--help"; }},
        {{"compare", "history"}, [](const Request& r) { return r.command == Command::Compare && r.file == "history"; }},
        {{"history", "--csv", "--since=2024-05-01T10:30"}, [](const Request& r) { return r.csv && !r.json && r.since; }},
        {{"quality"}, [](const Request& r) { return r.qualitySeconds == 10 && r.qualityStreams == 8 && !r.json && !r.unit; }},
        {{"data-test", "--unit", "mbit"}, [](const Request& r) { return r.unit == SpeedUnit::Mbit; }},
        {{"quality", "--unit=kb", "--json"}, [](const Request& r) { return r.unit == SpeedUnit::Kb && r.json; }},
        {{"history", "--csv", "--unit", "mbit"}, [](const Request& r) { return r.unit == SpeedUnit::Mbit && r.csv; }},
        {{"quality", "--duration=3", "--streams", "064", "--json"},
         [](const Request& r) { return r.qualitySeconds == 3 && r.qualityStreams == 64 && r.json; }},
    };
    for (const auto& [args, holds] : cases) {
        const ParseResult result = ParseArguments(args);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(CommandName(result.request.command), args[0]);
        EXPECT_TRUE(holds(result.request)) << ::testing::PrintToString(args);
    }
}

TEST(CliArgumentsTest, BadLinesSayWhatIsWrongOnOneLineAndWhereHelpIs) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "brisko-cli: a command is needed.\nTry 'brisko-cli --help'."},
        {"speedtest", "brisko-cli: unknown command \"speedtest\".\nTry 'brisko-cli --help'."},
        {"help nope", "nope not in {data-test,"},
        {"data-test --size huge", "brisko-cli data-test: --size: huge not in {quick,medium,long}\nTry 'brisko-cli data-test --help'."},
        {"data-test --json --json", "--json: At Most 1"},
        {"data-test --unit kbit", "brisko-cli data-test: --unit: kbit not in {kb,mbit}\nTry 'brisko-cli data-test --help'."},
        {"quality --unit", "brisko-cli quality: --unit: 1 required UNIT:{kb,mbit} missing"},
        {"web-test h --unit mbit", "brisko-cli web-test: unknown option \"--unit\""},
        {"data-test --json=yes", "json was given a disallowed flag override"},
        {"data-test --report= --json", "--report: needs a file name, not \"--json\""},
        {"data-test --runs 21", "--runs: Value 21 not in range 1 to 20"},
        {"data-test extra", "unexpected \"extra\""},
        {"data-test --SIZE quick", "unknown option \"--SIZE\""},
        {"pro-boost --dial-up=1", "brisko-cli pro-boost: unknown option \"--dial-up\"\nTry 'brisko-cli pro-boost --help'."},
        {"history --json --csv", "--json excludes --csv"},
        {"history --since 05/01/2024", "--since: needs a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM, not \"05/01/2024\""},
        {"web-test", "ADDRESS is required"},
        {"web-test ftp://host/x", "must be an http:// or https:// address"},
        {"web-test http://", "no valid host name"},
        {"web-test bad..host", "no valid host name"},
        {"web-test host:99999", "port outside 1 to 65535"},
        {"web-test x --engine opera", "opera not in {ie,mozilla}"},
        {"web-test x --runs 101", "--runs: Value 101 not in range 1 to 100"},
        {"quality --duration 0", "--duration: Value 0 not in range 1 to 60"},
        {"quality --streams 65", "--streams: Value 65 not in range 1 to 64"},
        {"quality --duration 2.5", "--duration: Value 2.5 not in range 1 to 60"},
        {"read-reg HKCU", "KEY is required"},
        {"read-reg HKXX key", "ROOT: HKXX not in {"},
    };
    for (const auto& [line, problem] : cases) {
        const std::string error = ParseArguments(Words(line)).error;
        EXPECT_NE(error.find(problem), std::string::npos) << line << ": " << error;
        const std::size_t hint = error.find("\nTry 'brisko-cli ");
        EXPECT_TRUE(hint != std::string::npos && error.find('\n') == hint && error.ends_with(" --help'.")) << error;
    }
}

TEST(CliArgumentsTest, HelpWinsAnywhereBeforeTheEndOfOptionsAndVersionIsOneLine) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, "Usage: brisko-cli COMMAND [OPTIONS]\n"},
        {{"help"}, "Usage: brisko-cli COMMAND [OPTIONS]\n"},
        {{"help", "compare"}, "Usage: brisko-cli compare [FILE]\n"},
        {{"data-test", "--size", "huge", "-h"}, "Usage: brisko-cli data-test [--size SIZE] [--report FILE] [--json] [--unit UNIT] [--runs N]\n"},
        {{"web-test", "--help"}, "Usage: brisko-cli web-test ADDRESS [--engine ENGINE] [--runs N] [--json]\n"},
        {{"read-reg", "-h"}, "Usage: brisko-cli read-reg ROOT KEY [VALUE]\n"},
        {{"history", "--help", "--json", "--csv"}, "Usage: brisko-cli history [--json] [--csv] [--unit UNIT] [--since DATE]\n"},
        {{"quality", "--streams", "0", "--help"}, "Usage: brisko-cli quality [--duration S] [--streams N] [--json] [--unit UNIT]\n"},
    };
    for (const auto& [args, usage] : cases) {
        const ParseResult result = ParseArguments(args);
        EXPECT_TRUE(result.ok() && result.output.starts_with(usage)) << args[0] << ":\n" << result.output << result.error;
    }
    const std::string version = ParseArguments({"--version"}).output;
    EXPECT_TRUE(std::regex_match(version, std::regex("brisko-cli \\d+\\.\\d+\n"))) << version;
}

// The help speaks of this platform: its history's place, and web-test only where it runs.
TEST(CliArgumentsTest, HelpOffersWhatThisBuildCanDoAndNamesItsHistoryPlace) {
    const ParseResult top = ParseArguments({"--help"});
    EXPECT_EQ(top.output.find("web-test") != std::string::npos, kHasWebTest) << top.output;
    const ParseResult history = ParseArguments({"history", "--help"});
    EXPECT_NE(history.output.find(kHistoryLocationText), std::string::npos) << history.output;
    EXPECT_EQ(history.output.find(kHasWebTest ? "%APPDATA%" : "XDG_DATA_HOME"), std::string::npos);
    // Left out of the help, the command still answers, and says why it cannot run.
    EXPECT_TRUE(ParseArguments({"web-test", "example.com"}).ok());
}

}  // namespace
}  // namespace brisko::cli
