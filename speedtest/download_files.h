// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three download test files and the override that points them at another server.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisko {

// A public speed-test host that serves plain files over HTTP on port 80, with
// Content-Type and Content-Length.
inline constexpr const char* kTestFileHost = "speedtest.tele2.net";

// "host", "host:port", "[IPv6 address]" or "[IPv6 address]:port": the test files are
// fetched from there instead.
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

// A server named as "host", "host:port", "[v6]" or "[v6]:port". An IPv6 address with
// a port must be bracketed: in "fd00::10:80" nobody can tell where the address ends.
struct ServerAddress {
    std::string host;  // without brackets; an IPv6 address may end in "%zone"
    std::uint16_t port = 80;
};
// The server, or nothing with *problem (when given) saying what is wrong with text.
std::optional<ServerAddress> ParseServer(std::string_view text, std::string* problem = nullptr);
bool IsValidServer(const std::string& server);
// What is wrong with an override value that IsValidServer refuses, for a message.
std::string BadServerProblem(const std::string& server);

// An IPv6 address in brackets ("[::1]"), any other host as it is.
std::string BracketedHost(const std::string& host);
// "host:port" or "[v6]:port"; with omitPort80, port 80 is left out.
std::string HostAndPort(const std::string& host, std::uint16_t port, bool omitPort80 = false);
// The value of a request's Host line: as HostAndPort without port 80, and without an
// IPv6 zone, which names an interface of this machine and means nothing to the server.
std::string HostLineValue(const std::string& host, std::uint16_t port);

// The page for the web page load tests that brisko-testserver serves beside the files.
inline constexpr const char* kTestPagePath = "/default.html";

}  // namespace brisko
