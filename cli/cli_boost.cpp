// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_boost.h"

#include "boost/reg_access.h"
#include "cli/cli_arguments.h"

namespace brisko::cli {

std::string DescribeOutcome(const BoostOutcome& outcome) {
    std::string text = "Imports started:";
    if (outcome.importsStarted.empty()) text += " none";
    text += "\n";
    for (const std::string& command : outcome.importsStarted) text += "  " + command + "\n";
    // The home path is read once every import has started, just before the steps.
    bool homeRead = outcome.failure.empty();
    for (const BoostOutcome::Step& step : outcome.steps) homeRead = homeRead || step.done || !step.failure.empty();
    if (homeRead) text += "Home path: " + outcome.homePath + "\n";
    for (const BoostOutcome::Step& step : outcome.steps) {
        text += step.name + ": ";
        if (step.done)
            text += "done";
        else if (step.noProfile)
            text += "skipped: " + step.skipped;
        else if (!step.failure.empty())
            text += "failed: " + step.failure;
        else
            text += "not reached";
        text += "\n";
    }
    return text;
}

int RunBoostCommand(BoostServices services, BoostMode mode, bool dialUp, std::ostream& out, std::ostream& err,
                    const ReadBack& readBack) {
    CliBoostUi ui(dialUp);
    services.ui = &ui;
    if (readBack) services.importsNotLanded = readBack;
    BoostEngine engine(services);
    BoostOutcome outcome;
    engine.RunBoostMode(mode, &outcome);
    out << DescribeOutcome(outcome) << std::flush;
    const Command command = mode == BoostMode::Normal ? Command::Boost
                            : mode == BoostMode::Pro  ? Command::ProBoost
                                                      : Command::Restore;
    const std::vector<std::string>& notLanded = outcome.importsNotLanded;
    // regedit says nothing when it may not write; what it left out was read back.
    if (!notLanded.empty()) err << kProgramName << " " << CommandName(command) << ": " << NotLandedText(outcome) << '\n';
    if (outcome.failure.empty()) return notLanded.empty() ? kExitOk : kExitFailed;
    err << kProgramName << " " << CommandName(command) << ": ";
    if (!outcome.importsNotStarted.empty())
        err << ui.Failure() << '\n';
    else
        err << "stopped: " << outcome.failure << '\n';
    return kExitFailed;
}

std::optional<int> CheckRights(Elevation& elevation, const std::string& command, bool elevate,
                const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (elevation.IsElevated()) return std::nullopt;
    const std::string prefix = std::string(kProgramName) + " " + command + ": ";
    if (!elevate) {
        // Without rights every import would fail one by one, or worse, seem to work.
        err << prefix << "needs administrator rights to change the machine's settings: run it with --elevate, "
            << "or from a console opened with \"Run as administrator\"\n";
        return kExitFailed;
    }
    Status started;
    const int status = elevation.RunElevated(arguments, &started);
    if (!started.ok()) {
        err << prefix << "could not start with administrator rights: " << started.text << '\n';
        return kExitFailed;
    }
    // Its own window showed what it did; the history keeps it.
    out << prefix << "ran with administrator rights in a window of its own, exit status " << status
        << "; 'brisko-cli history' lists what it did\n" << std::flush;
    return status;
}

int RunReadReg(RegistryReader& registry, std::uint32_t rootKey, const std::string& keyPath,
               const std::string& valueName, std::ostream& out) {
    const std::string value = RegAccess::ReadRegValue(registry, rootKey, keyPath, valueName);
    out.write(value.data(), static_cast<std::streamsize>(value.size()));
    out << '\n' << std::flush;
    return kExitOk;
}

}  // namespace brisko::cli
