// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/build_traits.h"

namespace brisko::cli {

const bool kHasWebTest = false;
const bool kNeedsElevation = true;
const char* const kHistoryLocationText = "%APPDATA%\\Brisko\\history.jsonl";
const char* const kEmptyHistoryHint =
    "No results yet: run 'brisko-cli data-test', and every result is kept here, with each\n"
    "boost and restore.\n";
// STATUS_CONTROL_C_EXIT, as cmd.exe reports a console program Ctrl+C ended.
const int kInterruptedExitStatus = static_cast<int>(0xC000013Au);

}  // namespace brisko::cli
