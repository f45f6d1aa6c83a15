#pragma once
// The three boost commands: registry imports through "regedit /s", the browser
// preference step and the restart prompt.
#include <string>
#include <vector>

#include "boost/boost_ui.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/process_start.h"
#include "platform/registry_read.h"

namespace brisko {

enum class BoostMode { Normal, Pro, Restore };

// Starts "regedit /s " + fileName without waiting; raises AppError if it cannot start.
void RunRegImport(ProcessStarter& processes, const std::string& fileName);

struct BoostServices {
    ProcessStarter* processes = nullptr;
    RegistryReader* registry = nullptr;
    const PathMapper* paths = nullptr;
    EventPump* pump = nullptr;
    FileSystem* files = nullptr;
    BoostUi* ui = nullptr;
};

// What one command did, for callers that report it (the window shows nothing).
struct BoostOutcome {
    struct Step {
        std::string name;     // "PatchControlPrefs", "RestoreFirefoxPrefs", ...
        bool done = false;
        std::string failure;  // why it failed; empty when done or never reached
    };
    std::vector<std::string> importsStarted;  // command lines, in order
    std::string homePath;
    std::vector<Step> steps;                  // both preference steps, reached or not
    std::string failure;                      // the failure that ended the sequence
};

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

    BoostServices m_services;
    bool m_running = false;
};

}  // namespace brisko
