// SPDX-License-Identifier: GPL-3.0-or-later
// brisko-cli web-test on Linux: the browser engine comes with the desktop program, so
// the console package needs none. The test runs in brisko-web-test, a helper that
// the brisko package installs beside regedit; without it the command says how to get it.
#include <iostream>

#include "cli/web_test_program.h"
#include "platform/handoff.h"

namespace brisko::cli {

int RunWebTestProgram(char*, const SystemServices& system, const Request& request) {
    const std::string helper = system.folders.helpers + "/brisko-web-test";
    std::vector<std::string> args = {helper, "web-test", "--engine",
                                     request.engine == EngineChoice::Ie ? "ie" : "mozilla", "--runs",
                                     std::to_string(request.runs)};
    if (request.json) args.push_back("--json");
    args.insert(args.end(), {"--", request.address});
    const Status started = ReplaceProcess(helper, args);
    std::cerr << kProgramName << " web-test: the browser engine is not installed here (" << helper << ": "
              << started.text << ").\nIt comes with Brisko's desktop program: install the brisko package "
              << "(sudo apt install brisko).\n";
    return kExitFailed;
}

}  // namespace brisko::cli
