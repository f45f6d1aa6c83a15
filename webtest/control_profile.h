// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Mozilla control's profile, where the boost looks for it:
// "C:" + HOMEPATH + "\application data\mozillaControl\profiles\mozillaControl\<name>.slt".
#include <string>

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/registry_read.h"

namespace brisko {

// The Windows path of the folder that holds the profile folder (ends with a backslash).
std::string ControlProfileRoot(const std::string& homePath);

// Finds the profile folder, or on first use makes one with a new name and a prefs.js
// copied from the stock control.js in the program's folder (a minimal prefs.js when
// control.js is missing). Returns the native folder, or "" with error filled.
std::string EnsureControlProfile(RegistryReader& registry, const PathMapper& paths, Status* error);

// The folder the Mozilla engine runs on: the control profile, or when it cannot be
// prepared, fallbackFolder (a profile of its own that no boost will find), with
// problem saying why. problem is empty when the control profile is used.
std::string MozillaEngineProfile(RegistryReader& registry, const PathMapper& paths,
                                 const std::string& fallbackFolder, std::string* problem);

}  // namespace brisko
