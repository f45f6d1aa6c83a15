// SPDX-License-Identifier: GPL-3.0-or-later
// reopener: started by Brisko right before it ends, without arguments. Waits until
// the program that started it has ended, then starts brisko from its own folder in
// the working folder it was given, and ends.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/handoff.h"
#include "platform/paths.h"
#include "platform/program_folders.h"

namespace {

// Long enough for Brisko to close its windows and browser engines; after it the
// new instance starts all the same, since the user is waiting for it.
constexpr auto kWaitLimit = std::chrono::seconds(30);

}  // namespace

int main() {
    brisko::WaitForStarterToEnd(kWaitLimit);
    // Installed, the reopener lives among the helpers and brisko among the programs.
    const std::string program =
        brisko::FindProgramFolders(brisko::RunningProgramFolder()).programs + "/brisko" BRISKO_EXE_SUFFIX;
    const brisko::Status started = brisko::StartDetached(program);
    if (!started.ok()) {
        std::fprintf(stderr, "reopener: can't start %s: %s\n", program.c_str(), started.text.c_str());
        return 1;
    }
    return 0;
}
