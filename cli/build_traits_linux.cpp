// SPDX-License-Identifier: GPL-3.0-or-later
#include <csignal>

#include "cli/build_traits.h"

namespace brisko::cli {

const bool kHasWebTest = true;
const bool kNeedsElevation = false;
const char* const kHistoryLocationText = "$XDG_DATA_HOME/brisko/history.jsonl (~/.local/share/brisko/...)";
const char* const kEmptyHistoryHint =
    "No results yet: run 'brisko-cli data-test' or 'brisko-cli web-test ADDRESS', or a test in\n"
    "Brisko's windows, and every result is kept here, with each boost and restore.\n";
const int kInterruptedExitStatus = 128 + SIGINT;

}  // namespace brisko::cli
