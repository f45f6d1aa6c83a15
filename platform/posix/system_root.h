#pragma once
// The folder that stands for the Windows machine on Linux:
// $BRISKO_SYSTEM_ROOT, else $XDG_DATA_HOME/brisko/system (~/.local/share/brisko/system).
// It holds drive_c/ (drive C:) and registry/ (one .reg text file per root key).
#include <string>

#include "platform/error.h"

namespace brisko {

std::string SystemRootFolder();

// First use: creates the folders and what Windows would have: HKCU "Volatile
// Environment" HOMEPATH ("\Users\" + login name) and HOMEDRIVE ("C:"), the profile
// folder under drive_c, and, when a firefox program is on PATH, the Firefox start
// command under HKLM. Values already present are left alone.
Status ProvisionSystemRoot(const std::string& systemRoot);

}  // namespace brisko
