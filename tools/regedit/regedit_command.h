// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What "regedit /s" and "regedit /e" do, on the registry store of one system root.
#include <ostream>
#include <string>
#include <vector>

namespace brisko {

// Imports the .reg file into the store. Skipped lines and failures go to err as
// lines of text; false when anything was skipped or failed. A file that cannot be
// read or has no registry header changes nothing.
bool ImportRegFile(const std::string& systemRoot, const std::string& file, std::ostream& err);

// Writes key ("HKEY_CURRENT_USER\Software\X", short root names allowed; empty: the
// whole registry) and everything below it to file in version 5 format.
bool ExportRegKey(const std::string& systemRoot, const std::string& file, const std::string& key,
                  std::ostream& err);

// The command line after the program name: "/s FILE..." or "/e FILE [KEY]" (the switch
// also as -s, /S, ...). Returns the exit status: 0 success, 1 something skipped or
// failed, 2 bad usage (the usage text goes to err).
int RunRegedit(const std::vector<std::string>& args, const std::string& systemRoot, std::ostream& err);

}  // namespace brisko
