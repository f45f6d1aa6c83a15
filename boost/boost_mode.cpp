#include "boost/boost_mode.h"

#include <exception>
#include <iterator>
#include <utility>
#include <vector>

#include "boost/pref_patcher.h"
#include "boost/reg_access.h"
#include "platform/error.h"

namespace brisko {

namespace {

constexpr const char* kBusyCaption = "Working..";

struct ModeRow {
    BoostButton startButton;
    std::vector<const char*> imports;
    bool dialUpImports;
    bool restore;  // restore the stock preference files instead of patching
    std::vector<std::pair<BoostButton, const char*>> completionCaptions;
    RestartPrompt prompt;
};

const ModeRow& Row(BoostMode mode) {
    static const ModeRow normal{BoostButton::btnBoost,
                                {"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"},
                                true,
                                false,
                                {{BoostButton::btnBoost, "Apply Brisko Boost"}},
                                RestartPrompt::restart};
    static const ModeRow pro{BoostButton::btnProBoost,
                             {"web-game.reg", "tcp-game.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"},
                             false,
                             false,
                             {{BoostButton::btnBoost, "Apply Brisko Boost"}, {BoostButton::btnProBoost, "Pro Boost"}},
                             RestartPrompt::restart};
    static const ModeRow restore{BoostButton::btnRestore,
                                 {"no-web.reg", "no-tcp.reg"},
                                 false,
                                 true,
                                 {{BoostButton::btnRestore, "Original Settings"}},
                                 RestartPrompt::Restart3};
    switch (mode) {
        case BoostMode::Pro: return pro;
        case BoostMode::Restore: return restore;
        case BoostMode::Normal: break;
    }
    return normal;
}

constexpr const char* kModemFiles[] = {"web-modem.reg", "tcp-modem.reg"};

}  // namespace

void RunRegImport(ProcessStarter& processes, const std::string& fileName, const std::string& folder) {
    Status status = processes.Start("regedit /s " + fileName, WindowState::NormalActive, folder);
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
                    // A machine without Firefox has nothing to change there.
                    if (&step == &record.steps.back() && !HasFirefoxProfileList(record.homePath)) {
                        step.noProfile = true;
                        record.failure.clear();
                    }
                    break;
                }
    }

    for (const auto& [button, caption] : row.completionCaptions) ui.SetCaption(button, caption);
    ui.SetDefaultPointer();
    // "Done!" would not be true: settings of the files that did not start are unchanged.
    if (record.importsNotStarted.empty())
        ui.ShowPrompt(row.prompt);
    else
        ui.ShowFailure(ImportFailureText(record));
    return true;
}

bool BoostEngine::HasFirefoxProfileList(const std::string& homePath) const {
    return m_services.files->FileExists(m_services.paths->ToNative(FirefoxProfileList(homePath)));
}

void BoostEngine::RunImports(BoostMode mode, BoostOutcome& outcome) {
    const ModeRow& row = Row(mode);
    BoostUi& ui = *m_services.ui;
    // Started in the program's folder, where the files lie, wherever we were started from.
    const std::string folder = m_services.paths->ProgramFolder();
    std::vector<std::string> files(row.imports.begin(), row.imports.end());
    std::size_t started = 0;
    std::size_t modemsRead = 0;
    try {
        for (; started < files.size(); ++started) {
            RunRegImport(*m_services.processes, files[started], folder);
            outcome.importsStarted.push_back("regedit /s " + files[started]);
        }
        if (!row.dialUpImports) return;
        // The box is read again before each file.
        for (const char* modem : kModemFiles) {
            ++modemsRead;
            if (ui.Check1Value() != 1) continue;
            files.push_back(modem);
            RunRegImport(*m_services.processes, modem, folder);
            outcome.importsStarted.push_back(std::string("regedit /s ") + modem);
            ++started;
        }
    } catch (const std::exception&) {
        // The one that failed and every one that was still to come.
        if (row.dialUpImports && ui.Check1Value() == 1)
            for (std::size_t i = modemsRead; i < std::size(kModemFiles); ++i) files.push_back(kModemFiles[i]);
        outcome.importsNotStarted.assign(files.begin() + static_cast<std::ptrdiff_t>(started), files.end());
        throw;
    }
}

std::string ImportFailureText(const BoostOutcome& outcome) {
    std::string text = "Not all settings could be changed: these registry imports did not start.\n";
    for (const std::string& file : outcome.importsNotStarted) text += "\n    regedit /s " + file;
    text += "\n\n" + outcome.failure;
    return text;
}

void BoostEngine::RunGuardedSteps(BoostMode mode, BoostOutcome& outcome, bool& preferencesReached) {
    const ModeRow& row = Row(mode);
    using Step = BoostOutcome::Step;
    outcome.steps = row.restore ? std::vector<Step>{{"RestoreControlPrefs", false, {}}, {"RestoreFirefoxPrefs", false, {}}}
                                : std::vector<Step>{{"PatchControlPrefs", false, {}}, {"PatchFirefoxPrefs", false, {}}};

    RunImports(mode, outcome);

    const std::string homePath =
        RegAccess::ReadRegValue(*m_services.registry, kHkeyCurrentUser, "Volatile Environment", "HOMEPATH");
    outcome.homePath = homePath;

    PrefPatcher prefs(*m_services.paths, *m_services.pump, m_list1, *m_services.files);
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
