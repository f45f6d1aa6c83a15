// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The address the test windows offer first.
#include <string>

namespace brisko {

// A large, long-lived public page with many pictures, served over https.
inline constexpr const char* kPublicTestPage = "https://en.wikipedia.org/wiki/Solar_System";

struct TestPageAddress {
    std::string address;
    std::string problem;  // why the override was not used; empty if fine
};

// brisko-testserver's test page on the server that serverOverride names ("host",
// "host:port", "[v6]" or "[v6]:port", as BRISKO_TEST_SERVER holds it), or the public
// page when it is null or empty.
TestPageAddress DefaultTestPage(const char* serverOverride);

}  // namespace brisko
