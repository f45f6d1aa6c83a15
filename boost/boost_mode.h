// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three boost commands: registry imports through "regedit /s", the browser
// preference step and the restart prompt.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "boost/boost_ui.h"
#include "history/history_file.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/process_start.h"
#include "platform/registry_read.h"

namespace brisko {

enum class BoostMode { Normal, Pro, Restore };

// Starts regedit + " /s " + fileName in folder without waiting; raises AppError if it
// cannot start. The file name carries no folder, so regedit finds it in folder.
void RunRegImport(ProcessStarter& processes, const std::string& fileName, const std::string& folder,
                  const std::string& regedit = "regedit");

struct BoostServices {
    ProcessStarter* processes = nullptr;
    RegistryReader* registry = nullptr;
    const PathMapper* paths = nullptr;
    EventPump* pump = nullptr;
    FileSystem* files = nullptr;
    BoostUi* ui = nullptr;
    HistoryService* history = nullptr;  // gets every command run; may be null
    // The lock every Brisko program takes for a whole command, so that a boost and a
    // restore at once never rewrite one prefs.js together. Empty: no lock (tests).
    std::string lockFile{};
    // How the imports start regedit (SystemServices::regedit).
    std::string regedit = "regedit";
    // Where regedit can fail without a word: given the files whose imports started,
    // waits for them and names those whose values are not in the registry. Empty: not asked.
    std::function<std::vector<std::string>(const std::vector<std::string>& files)> importsNotLanded{};
};

// Where the commands take their lock: in the user's own Brisko folder, which every
// program of this user shares, whatever system root each runs on.
std::string BoostLockFile(const std::string& userDataFolder);

// What one command did, for callers that report it (the window shows nothing).
struct BoostOutcome {
    struct Step {
        std::string name;     // "PatchControlPrefs", "RestoreFirefoxPrefs", ...
        bool done = false;
        std::string failure;  // why it failed; empty when done or never reached
        // The browser has no profile on this machine, so there is nothing to change.
        // Not a failure; skipped says what was missing.
        bool noProfile = false;
        std::string skipped{};
    };
    std::vector<std::string> importsStarted;     // command lines, in order
    std::vector<std::string> importsNotStarted;  // files: the one that could not start, then the rest
    std::vector<std::string> importsNotLanded;   // started, but not in the registry afterwards
    std::string homePath;
    std::vector<Step> steps;                     // both preference steps, reached or not
    std::string failure;                         // the failure that ended the sequence, if it is one
};

// The files of the imports that started, in order.
std::vector<std::string> StartedFiles(const BoostOutcome& outcome);
// The history's record of a command: what was imported and which preference steps were done.
BoostRecord MakeBoostRecord(BoostMode mode, const BoostOutcome& outcome);
// "the registry does not hold what these imports set: " and the files that did not land.
std::string NotLandedText(const BoostOutcome& outcome);

// What the user is told, instead of the restart prompt, when imports did not start.
std::string ImportFailureText(const BoostOutcome& outcome);
// The same when anything else failed: the prompt's "Done!" would not be true.
std::string FailureText(const BoostOutcome& outcome);

class BoostEngine {
public:
    explicit BoostEngine(BoostServices services);

    // Runs the command of mode. Returns false, doing nothing, while a command is
    // already running: the commands yield to the event loop, so the boost buttons
    // can be clicked again in the middle of one, and two rewrites of the same
    // preference file must never overlap.
    bool RunBoostMode(BoostMode mode, BoostOutcome* outcome = nullptr);
    bool Running() const { return m_running; }

private:
    void RunGuardedSteps(BoostMode mode, BoostOutcome& outcome, bool& preferencesReached);
    void RunImports(BoostMode mode, BoostOutcome& outcome);
    bool TakeLock(std::unique_ptr<FileLock>& lock, BoostOutcome& outcome);

    BoostServices m_services;
    MemoryTextList m_list1;  // List1: the preference walk's scratch list
    bool m_running = false;
};

}  // namespace brisko
