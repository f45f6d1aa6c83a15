#include "boost/boost_mode.h"

#include <exception>
#include <utility>
#include <vector>

#include "boost/pref_patcher.h"
#include "boost/reg_access.h"
#include "platform/error.h"

namespace brisko {

namespace {

constexpr const char* kBusyCaption = "Working..";

struct ModeRow {
    const char* startButton;
    std::vector<const char*> imports;
    bool dialUpImports;
    bool restore;  // restore the stock preference files instead of patching
    std::vector<std::pair<const char*, const char*>> completionCaptions;
    const char* prompt;
};

const ModeRow& Row(BoostMode mode) {
    static const ModeRow normal{"btnBoost",
                                {"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"},
                                true,
                                false,
                                {{"btnBoost", "Apply Brisko Boost"}},
                                "restart"};
    static const ModeRow pro{"btnProBoost",
                             {"web-game.reg", "tcp-game.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"},
                             false,
                             false,
                             {{"btnBoost", "Apply Brisko Boost"}, {"btnProBoost", "Pro Boost"}},
                             "restart"};
    static const ModeRow restore{"btnRestore",
                                 {"no-web.reg", "no-tcp.reg"},
                                 false,
                                 true,
                                 {{"btnRestore", "Original Settings"}},
                                 "Restart3"};
    switch (mode) {
        case BoostMode::Pro: return pro;
        case BoostMode::Restore: return restore;
        case BoostMode::Normal: break;
    }
    return normal;
}

}  // namespace

void RunRegImport(ProcessStarter& processes, const std::string& fileName) {
    Status status = processes.Start("regedit /s " + fileName, WindowState::NormalActive);
    if (!status.ok()) throw AppError(status.code, "Brisko", status.text);
}

BoostEngine::BoostEngine(BoostServices services) : m_services(services) {}

bool BoostEngine::RunBoostMode(BoostMode mode, BoostOutcome* outcome) {
    if (m_running) return false;
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(m_running);

    const ModeRow& row = Row(mode);
    BoostUi& ui = *m_services.ui;
    ui.SetCaption(row.startButton, kBusyCaption);

    // The first failure skips the remaining steps; the completion always runs and
    // nothing is reported.
    BoostOutcome local;
    BoostOutcome& record = outcome ? *outcome : local;
    record = {};
    bool preferencesReached = false;
    try {
        RunGuardedSteps(mode, record, preferencesReached);
    } catch (const std::exception& e) {
        record.failure = e.what();
        // An import that could not start leaves both preference steps unreached.
        if (preferencesReached)
            for (auto& step : record.steps)
                if (!step.done) {
                    step.failure = e.what();
                    break;
                }
    }

    for (const auto& [button, caption] : row.completionCaptions) ui.SetCaption(button, caption);
    ui.SetDefaultPointer();
    ui.ShowPrompt(row.prompt);
    return true;
}

void BoostEngine::RunGuardedSteps(BoostMode mode, BoostOutcome& outcome, bool& preferencesReached) {
    const ModeRow& row = Row(mode);
    BoostUi& ui = *m_services.ui;
    using Step = BoostOutcome::Step;
    outcome.steps = row.restore ? std::vector<Step>{{"RestoreControlPrefs", false, {}}, {"RestoreFirefoxPrefs", false, {}}}
                                : std::vector<Step>{{"PatchControlPrefs", false, {}}, {"PatchFirefoxPrefs", false, {}}};

    auto import = [&](const std::string& file) {
        RunRegImport(*m_services.processes, file);
        outcome.importsStarted.push_back("regedit /s " + file);
    };
    for (const char* file : row.imports) import(file);
    if (row.dialUpImports) {
        // The box is read again before each file.
        if (ui.Check1Value() == 1) import("web-modem.reg");
        if (ui.Check1Value() == 1) import("tcp-modem.reg");
    }

    const std::string homePath =
        RegAccess::ReadRegValue(*m_services.registry, kHkeyCurrentUser, "Volatile Environment", "HOMEPATH");
    outcome.homePath = homePath;

    PrefPatcher prefs(*m_services.paths, *m_services.pump, ui.List1(), *m_services.files);
    preferencesReached = true;
    if (row.restore) {
        prefs.RestoreControlPrefs(homePath);
        outcome.steps[0].done = true;
        prefs.RestoreFirefoxPrefs(homePath);
    } else {
        prefs.PatchControlPrefs(homePath);
        outcome.steps[0].done = true;
        prefs.PatchFirefoxPrefs(homePath);
    }
    outcome.steps[1].done = true;
}

}  // namespace brisko
