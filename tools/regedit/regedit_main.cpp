// regedit: "regedit /s FILE" imports a .reg file into the emulated registry,
// "regedit /e FILE KEY" exports a key.
#include <iostream>

#include "platform/posix/system_root.h"
#include "tools/regedit/regedit_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return brisko::RunRegedit(args, brisko::SystemRootFolder(), std::cerr);
}
