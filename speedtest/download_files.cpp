// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/download_files.h"

#include <algorithm>

namespace brisko {

bool IsValidServer(const std::string& server) {
    const std::size_t colon = server.rfind(':');
    const std::string host = server.substr(0, colon);
    if (host.empty() || host.find_first_of("/ \t\r\n:") != std::string::npos) return false;
    if (colon == std::string::npos) return true;
    const std::string port = server.substr(colon + 1);
    if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return false;
    const long value = std::stol(port);
    return value >= 1 && value <= 65535;
}

std::string BadServerProblem(const std::string& server) {
    return std::string(kTestServerVariable) + " must be a host name or address, optionally followed by a colon " +
           "and a port (for example 192.168.1.10:8080), not \"" + server + "\".";
}

TestFileTags MakeTestFileTags(const char* serverOverride) {
    TestFileTags result;
    std::string server = kTestFileHost;
    if (serverOverride && *serverOverride) {
        if (IsValidServer(serverOverride))
            server = serverOverride;
        else
            result.problem = BadServerProblem(serverOverride) + " The public test files are used instead.";
    }
    for (std::size_t i = 0; i < kTestFiles.size(); ++i) result.tags[i] = server + kTestFiles[i].path;
    return result;
}

}  // namespace brisko
