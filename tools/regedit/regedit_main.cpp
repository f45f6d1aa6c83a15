// SPDX-License-Identifier: GPL-3.0-or-later
// regedit: "regedit /s FILE" imports a .reg file into the emulated registry,
// "regedit /e FILE KEY" exports a key.
#include <exception>
#include <iostream>
#include <new>

#include "winenv/winenv.h"
#include "tools/regedit/regedit_command.h"

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        return brisko::RunRegedit(args, brisko::AnchorSystemRoot(), std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "regedit: out of memory; nothing more was changed\n";
    } catch (const std::exception& error) {
        std::cerr << "regedit: " << error.what() << "\n";
    }
    return 1;
}
