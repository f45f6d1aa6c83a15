// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/start_page.h"

#include <optional>

#include "speedtest/download_files.h"

namespace brisko {

TestPageAddress DefaultTestPage(const char* serverOverride) {
    if (!serverOverride || !*serverOverride) return {kPublicTestPage, {}};
    const std::optional<ServerAddress> server = ParseServer(serverOverride);
    if (!server)
        return {kPublicTestPage, BadServerProblem(serverOverride) + " The public test page is used instead."};
    // In an address an IPv6 zone's "%" is written "%25", as any other "%".
    std::string authority;
    for (char c : HostAndPort(server->host, server->port, true)) authority += c == '%' ? std::string("%25") : std::string(1, c);
    return {"http://" + authority + kTestPagePath, {}};
}

}  // namespace brisko
