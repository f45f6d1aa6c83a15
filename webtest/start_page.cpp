// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/start_page.h"

#include "speedtest/download_files.h"

namespace brisko {

TestPageAddress DefaultTestPage(const char* serverOverride) {
    if (!serverOverride || !*serverOverride) return {kPublicTestPage, {}};
    if (!IsValidServer(serverOverride))
        return {kPublicTestPage, BadServerProblem(serverOverride) + " The public test page is used instead."};
    return {std::string("http://") + serverOverride + kTestPagePath, {}};
}

}  // namespace brisko
