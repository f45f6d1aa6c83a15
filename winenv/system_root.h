// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder that stands for the Windows machine on Linux:
// $BRISKO_SYSTEM_ROOT, else $XDG_DATA_HOME/brisko/system (~/.local/share/brisko/system).
// It holds drive_c/ (drive C:) and registry/ (one .reg text file per root key).
#include <string>

#include "platform/error.h"

namespace brisko {

inline constexpr const char* kDriveFolderPrefix = "drive_";

// The folder that stands for drive letter: <systemRoot>/drive_c for C:, and so on.
std::string DriveFolder(const std::string& systemRoot, char driveLetter);

// Always an absolute path: a relative $BRISKO_SYSTEM_ROOT is taken from the working
// folder of the moment.
std::string SystemRootFolder();

// Call once at start, before anything changes the working folder: fixes the root as an
// absolute path in $BRISKO_SYSTEM_ROOT, so that this program and every program it
// starts (regedit above all) find the same machine. Returns it.
std::string AnchorSystemRoot();

// First use: creates the folders and what Windows would have: HKCU "Volatile
// Environment" HOMEPATH ("\Users\" + login name) and HOMEDRIVE ("C:"), the profile
// folder under drive_c, and, when a firefox program is on PATH, the Firefox start
// command under HKLM. Values already present are left alone. Looks first without
// the writers' lock and takes it only when something is missing.
Status ProvisionSystemRoot(const std::string& systemRoot);

}  // namespace brisko
