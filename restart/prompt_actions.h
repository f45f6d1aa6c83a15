// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the restart prompts do, apart from their widgets.
#include <string>
#include <vector>

#include "platform/paths.h"

namespace brisko {

// Windows closed by "Show My Speed Improvements Now!", in this order.
const std::vector<std::string>& ShowImprovementsCloseOrder();
// Windows closed once a restart has been accepted; the main window stays.
const std::vector<std::string>& RestartNowCloseOrder();

// The sibling that re-opens Brisko: helper folder (the program folder when none is
// given) + separator + "reopener" (+ ".exe" where programs carry it), unquoted.
std::string ReopenerCommand(const PathMapper& paths, const std::string& helperFolder = {});

}  // namespace brisko
