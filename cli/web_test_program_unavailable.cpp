// SPDX-License-Identifier: GPL-3.0-or-later
// brisko-cli web-test where the program has no browser engine to drive (Windows).
#include <iostream>

#include "cli/web_test_program.h"

namespace brisko::cli {

int RunWebTestProgram(char*, const SystemServices&, const Request&) {
    std::cerr << kProgramName << " web-test: not available on Windows: this build has no browser engine\n";
    return kExitUsage;
}

}  // namespace brisko::cli
