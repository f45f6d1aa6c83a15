// SPDX-License-Identifier: GPL-3.0-or-later
// brisko-web-test: brisko-cli's web-test with Qt's browser engines, a program of its own
// so that the console programs need no engine. brisko-cli hands its web-test over to it
// with the same arguments.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_arguments.h"
#include "cli/web_test_program.h"

int main(int argc, char** argv) {
    using namespace brisko;
    const cli::ParseResult parsed = cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.ok() || parsed.request.command != cli::Command::WebTest) {
        std::cerr << (parsed.ok() ? "usage: brisko-web-test web-test ADDRESS [--engine ENGINE] [--runs N] [--json]"
                                  : parsed.error)
                  << '\n';
        return cli::kExitUsage;
    }
    const SystemServices system = CreateSystemServices();
    return cli::RunWebTestProgram(argv[0], system, parsed.request);
}
