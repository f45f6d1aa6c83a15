// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where an installed or a freshly built Brisko finds its data and its helper programs.
// Owned by start-up code, which asks once and hands the folders to the path mapper and
// the process starter; nothing else looks for them.
#include <string>

namespace brisko {

struct ProgramFolders {
    std::string data;      // the .reg import files, control.js, fire.js
    std::string helpers;   // regedit, reopener
    std::string programs;  // brisko, brisko-cli
};

// exeFolder is the folder of the running executable. A folder that holds the data
// itself (the build tree's bin/, or a copy kept in one folder) holds everything.
// Otherwise, where <prefix>/share/brisko exists, the installed layout: programs in
// <prefix>/bin, helpers in <prefix>/lib/brisko, data in <prefix>/share/brisko, with
// exeFolder either of the first two. Anything else counts as one folder, as before.
// A non-empty dataDir (from $BRISKO_DATA_DIR; a relative one counts from the current
// folder) replaces the data folder only.
ProgramFolders FindProgramFolders(const std::string& exeFolder, const char* dataDir);
// The same with dataDir read from $BRISKO_DATA_DIR.
ProgramFolders FindProgramFolders(const std::string& exeFolder);

}  // namespace brisko
