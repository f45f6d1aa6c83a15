// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three download test files and the override that points them at another server.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace brisko {

// A public speed-test host that serves plain files over HTTP on port 80, with
// Content-Type and Content-Length.
inline constexpr const char* kTestFileHost = "speedtest.tele2.net";

// "host" or "host:port": the test files are fetched from there instead.
inline constexpr const char* kTestServerVariable = "BRISKO_TEST_SERVER";

struct TestFile {
    const char* option;   // the option button that carries it
    const char* path;
    std::int64_t size;
};

// In screen order: Quick, Medium, Long.
inline constexpr std::array<TestFile, 3> kTestFiles{{
    {"Option2", "/5MB.zip", 5'242'880},
    {"Option3", "/10MB.zip", 10'485'760},
    {"Option1", "/50MB.zip", 52'428'800},
}};

struct TestFileTags {
    std::array<std::string, 3> tags;  // "host/path" per file, in the order of kTestFiles
    std::string problem;              // why the override was not used; empty if fine
};

// The tags for the given override value (null or empty for the public host).
TestFileTags MakeTestFileTags(const char* serverOverride);

// "host" or "host:port" with a port from 1 to 65535.
bool IsValidServer(const std::string& server);
// What is wrong with an override value that IsValidServer refuses, for a message.
std::string BadServerProblem(const std::string& server);

// The page for the web page load tests that brisko-testserver serves beside the files.
inline constexpr const char* kTestPagePath = "/default.html";

}  // namespace brisko
