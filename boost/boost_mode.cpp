// SPDX-License-Identifier: GPL-3.0-or-later
#include "boost/boost_mode.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <thread>
#include <iterator>
#include <utility>
#include <vector>

#include "boost/pref_patcher.h"
#include "boost/reg_access.h"
#include "platform/error.h"
#include "platform/open_file.h"

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

void RunRegImport(ProcessStarter& processes, const std::string& fileName, const std::string& folder,
                  const std::string& regedit) {
    Status status = processes.Start(regedit + " /s " + fileName, WindowState::NormalActive, folder);
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

    // The first failure skips the remaining steps; the completion always runs.
    BoostOutcome local;
    BoostOutcome& record = outcome ? *outcome : local;
    record = {};
    std::unique_ptr<FileLock> lock;
    if (TakeLock(lock, record)) {
        bool preferencesReached = false;
        try {
            RunGuardedSteps(mode, record, preferencesReached);
        } catch (const std::exception& e) {
            record.failure = e.what();
            // An import that could not start leaves both preference steps unreached.
            if (preferencesReached)
                for (auto& step : record.steps)
                    if (!step.done && !step.noProfile) {
                        step.failure = e.what();
                        break;
                    }
        }
    }
    if (m_services.importsNotLanded && !record.importsStarted.empty())
        record.importsNotLanded = m_services.importsNotLanded(StartedFiles(record));
    // Recorded before the lock goes, so the history lists the commands in the order they ran.
    if (m_services.history) m_services.history->Append({0, {}, MakeBoostRecord(mode, record)});
    lock.reset();

    for (const auto& [button, caption] : row.completionCaptions) ui.SetCaption(button, caption);
    ui.SetDefaultPointer();
    // The prompt says "Done!": shown only when it is true.
    if (record.failure.empty() && record.importsNotLanded.empty())
        ui.ShowPrompt(row.prompt);
    else
        ui.ShowFailure(FailureText(record));
    return true;
}

std::string BoostLockFile(const std::string& userDataFolder) { return userDataFolder + "/boost.lock"; }

// Another program's command ends within seconds; it is waited for, with the windows
// kept alive, but a program that hangs holding the lock is not waited for forever.
bool BoostEngine::TakeLock(std::unique_ptr<FileLock>& lock, BoostOutcome& outcome) {
    if (m_services.lockFile.empty()) return true;
    std::error_code ignored;
    std::filesystem::create_directories(PathFromUtf8(m_services.lockFile).parent_path(), ignored);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        Status error;
        lock = m_services.files->TryLock(m_services.lockFile, &error);
        if (lock) return true;
        if (!error.ok()) {
            outcome.failure = "cannot lock " + m_services.lockFile + ": " + error.text;
            return false;
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            outcome.failure = "another boost or restore is still running";
            return false;
        }
        m_services.pump->PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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
            RunRegImport(*m_services.processes, files[started], folder, m_services.regedit);
            outcome.importsStarted.push_back("regedit /s " + files[started]);
        }
        if (!row.dialUpImports) return;
        // The box is read again before each file.
        for (const char* modem : kModemFiles) {
            ++modemsRead;
            if (ui.Check1Value() != 1) continue;
            files.push_back(modem);
            RunRegImport(*m_services.processes, modem, folder, m_services.regedit);
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

std::vector<std::string> StartedFiles(const BoostOutcome& outcome) {
    const std::string prefix = "regedit /s ";
    std::vector<std::string> files;
    for (const std::string& command : outcome.importsStarted)
        files.push_back(command.rfind(prefix, 0) == 0 ? command.substr(prefix.size()) : command);
    return files;
}

BoostRecord MakeBoostRecord(BoostMode mode, const BoostOutcome& outcome) {
    BoostRecord record;
    record.mode = mode == BoostMode::Normal ? "boost" : mode == BoostMode::Pro ? "pro-boost" : "restore";
    record.imported = StartedFiles(outcome);
    record.notImported = outcome.importsNotStarted;
    record.notLanded = outcome.importsNotLanded;
    for (const BoostOutcome::Step& step : outcome.steps)
        if (step.done) record.patched.push_back(step.name);
    record.failure = outcome.failure;
    return record;
}

std::string FailureText(const BoostOutcome& outcome) {
    if (!outcome.importsNotStarted.empty()) return ImportFailureText(outcome);
    if (outcome.failure.empty()) return "Not all settings could be changed.\n\n" + NotLandedText(outcome);
    return "Not all settings could be changed.\n\n" + outcome.failure;
}

std::string NotLandedText(const BoostOutcome& outcome) {
    std::string text = "the registry does not hold what these imports set:";
    for (const std::string& file : outcome.importsNotLanded) text += " " + file;
    return text;
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
    using Action = void (PrefPatcher::*)(const std::string&);
    const Action actions[] = {row.restore ? &PrefPatcher::RestoreControlPrefs : &PrefPatcher::PatchControlPrefs,
                              row.restore ? &PrefPatcher::RestoreFirefoxPrefs : &PrefPatcher::PatchFirefoxPrefs};
    for (std::size_t i = 0; i < outcome.steps.size(); ++i) {
        try {
            (prefs.*actions[i])(homePath);
            outcome.steps[i].done = true;
        } catch (const NoProfileHere& none) {
            // A browser that was never installed has nothing to change: on to the next.
            outcome.steps[i].noProfile = true;
            outcome.steps[i].skipped = none.Description();
        }
    }
}

}  // namespace brisko
