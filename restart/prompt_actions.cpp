// SPDX-License-Identifier: GPL-3.0-or-later
#include "restart/prompt_actions.h"

#ifndef BRISKO_EXE_SUFFIX
#define BRISKO_EXE_SUFFIX ""
#endif

namespace brisko {

const std::vector<std::string>& ShowImprovementsCloseOrder() {
    static const std::vector<std::string> order = {"Formserial", "toptip", "restart", "Restart3", "frmbrowser",
                                                   "Help",       "data",   "main",    "firebrowser"};
    return order;
}

const std::vector<std::string>& RestartNowCloseOrder() {
    static const std::vector<std::string> order = {"Formserial", "toptip", "restart", "Restart3",
                                                   "frmbrowser", "Help",   "data",    "firebrowser"};
    return order;
}

std::string ReopenerCommand(const PathMapper& paths, const std::string& helperFolder) {
    const std::string folder = helperFolder.empty() ? paths.ProgramFolder() : helperFolder;
    return folder + paths.Separator() + "reopener" + BRISKO_EXE_SUFFIX;
}

}  // namespace brisko
