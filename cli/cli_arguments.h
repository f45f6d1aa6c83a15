// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of brisko-cli: one subcommand, its options and operands.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brisko::cli {

inline constexpr const char* kProgramName = "brisko-cli";

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

enum class Command { None, DataTest, WebTest, Boost, ProBoost, Restore, ReadReg, Compare, History, Quality };
enum class EngineChoice { Ie, Mozilla };
// How speeds are shown: KB/s (1 KB = 1024 bytes) or Mbit/s (10^6 bits).
enum class SpeedUnit { Kb, Mbit };

inline constexpr int kMaxRuns = 100;     // web-test
inline constexpr int kMaxDataRuns = 20;  // data-test
inline constexpr int kMaxQualitySeconds = 60;  // quality --duration
inline constexpr int kMaxQualityStreams = 64;

struct Request {
    Command command = Command::None;

    // data-test (runs too)
    std::size_t testFile = 0;  // into kTestFiles: quick, medium, long
    std::string reportFile;    // empty: no report
    bool json = false;         // web-test too
    // data-test, quality and history: from --unit; without it each command shows speeds
    // as it always has (data tests in KB/s, quality runs in Mbit/s).
    std::optional<SpeedUnit> unit;

    // web-test
    std::string address;
    EngineChoice engine = EngineChoice::Ie;
    int runs = 1;  // data-test too

    // boost
    bool dialUp = false;
    bool elevate = false;  // boost, pro-boost, restore: start elevated when not

    // read-reg
    std::uint32_t rootKey = 0;
    std::string keyPath;
    std::string valueName;  // empty: the key's default value

    // compare: empty reads the history
    std::string file;

    // history (json above too)
    bool csv = false;
    std::optional<std::int64_t> since;  // seconds since 1970, from --since

    // quality (json above too)
    int qualitySeconds = 10;  // each loaded phase
    int qualityStreams = 8;
};

struct ParseResult {
    Request request;
    std::string output;  // help or version: print it and end with kExitOk
    std::string error;   // what is wrong with the command line, with a hint; empty if fine
    bool ok() const { return error.empty(); }
};

// args without the program's own name.
ParseResult ParseArguments(const std::vector<std::string>& args);

std::string CommandName(Command command);

}  // namespace brisko::cli
