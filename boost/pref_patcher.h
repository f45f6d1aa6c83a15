// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Connection preferences of the Mozilla control's profile and of Firefox: a boost
// appends nine user_pref lines to each prefs.js, a restore puts the stock file back.
// Paths are built as Windows paths and resolved through the path mapping. Every
// failure is raised (AppError) to the boost command, which skips the rest.
#include <array>
#include <string>
#include <string_view>

#include "boost/boost_ui.h"
#include "platform/error.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/paths.h"

namespace brisko {

inline constexpr std::array<std::string_view, 9> BoostPrefLines = {
    R"(user_pref("network.http.max-connections", 48);)",
    R"(user_pref("network.http.max-connections-per-server", 16);)",
    R"(user_pref("network.http.max-persistent-connections-per-proxy", 8);)",
    R"(user_pref("network.http.max-persistent-connections-per-server", 4);)",
    R"(user_pref("network.http.pipelining", true);)",
    R"(user_pref("network.http.proxy.pipelining", true);)",
    R"(user_pref("network.http.pipelining.maxrequests", 100);)",
    R"(user_pref("network.http.version", "1.1");)",
    R"(user_pref("network.http.proxy.version", "1.0");)",
};

// Where a restore keeps the prefs.js it replaces, next to it. A later restore keeps
// the first and numbers the next (".before-restore.2", ...), unless it has nothing new.
inline constexpr const char* kBeforeRestoreSuffix = ".before-restore";

// Raised by a step whose browser has no profile on this machine: there is nothing to
// change, which is not a failure of the boost.
class NoProfileHere : public AppError {
public:
    using AppError::AppError;
};

// Windows paths built from homePath ("\Users\ann", no drive letter).
std::string ControlRoot(const std::string& homePath);
std::string FirefoxRoot(const std::string& homePath);
std::string FirefoxProfileList(const std::string& homePath);

class PrefPatcher {
public:
    PrefPatcher(const PathMapper& paths, EventPump& pump, TextList& list1, FileSystem& files);

    void PatchControlPrefs(const std::string& homePath);
    void PatchFirefoxPrefs(const std::string& homePath);
    void RestoreControlPrefs(const std::string& homePath);
    void RestoreFirefoxPrefs(const std::string& homePath);

    // Depth-first walk into List1: "\t" + folder path, "\t\t" + file name.
    void ListFolderTree(const std::string& folderPath);
    // The control profile's name, lower case (its folder is the name + ".slt").
    std::string FindControlProfile(const std::string& homePath);
    // The Firefox profile folder (Windows path), chosen from profiles.ini as Firefox
    // chooses it: the [Install...] section's Default=, else the profile marked
    // Default=1, else the first one.
    std::string FindFirefoxProfile(const std::string& homePath);
    // Copies prefsPath to prefsPath + ".tmp" with the nine lines added, then puts the
    // copy in its place in one rename: prefs.js is always complete, old or new.
    void AppendPrefLines(const std::string& prefsPath);

private:
    std::string ControlPrefsFile(const std::string& homePath);
    std::string FirefoxPrefsFile(const std::string& homePath);
    std::string StockFile(const char* name) const;
    void CopyStockOver(const std::string& stockFile, const std::string& prefsPath);
    void KeepUserPrefs(const std::string& target, const std::string& stockFile, const std::string& prefsPath);
    bool SameLines(const std::string& a, const std::string& b);
    void ListFolderTreeNative(const std::string& nativeFolder);

    const PathMapper& m_paths;
    EventPump& m_pump;
    TextList& m_list1;
    FileSystem& m_files;
};

}  // namespace brisko
