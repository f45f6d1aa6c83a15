// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_arguments.h"

namespace brisko {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void PrepareStandardStreams() {}  // a terminal here takes the bytes as they are

}  // namespace brisko
