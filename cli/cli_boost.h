// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// boost, pro-boost, restore and read-reg from a terminal: the main window's commands
// without captions, prompt or restart, and what they did in words.
#include <ostream>
#include <string>

#include "boost/boost_mode.h"
#include "boost/boost_ui.h"
#include "platform/elevation.h"
#include "platform/registry_read.h"

#include <functional>
#include <optional>
#include <vector>

namespace brisko::cli {

// The main window as the boost commands see it, for a terminal: the dial-up box
// holds the --dial-up option; captions and the prompt go nowhere, a failure the
// window would show is kept for the terminal.
class CliBoostUi final : public BoostUi {
public:
    explicit CliBoostUi(bool dialUp) : m_dialUp(dialUp) {}
    void SetCaption(BoostButton, const std::string&) override {}
    int Check1Value() const override { return m_dialUp ? 1 : 0; }
    void SetDefaultPointer() override {}
    void ShowPrompt(RestartPrompt) override {}
    void ShowFailure(const std::string& text) override { m_failure = text; }
    const std::string& Failure() const { return m_failure; }

private:
    bool m_dialUp;
    std::string m_failure;
};

// The imports started, the home path and each preference step: done, failed and
// why, or not reached.
std::string DescribeOutcome(const BoostOutcome& outcome);

// Runs the command with services (their ui is replaced by a CliBoostUi) and prints
// what it did on out; a failure of any step is also told on err. Returns the exit
// status: 1 when a step failed (a step whose browser has no profile here has not).
// readBack, when given, is asked after the imports which files did not land
// (ImportsNotLanded over the started files); those are named and the status is 1.
using ReadBack = std::function<std::vector<std::string>(const std::vector<std::string>& files)>;
int RunBoostCommand(BoostServices services, BoostMode mode, bool dialUp, std::ostream& out, std::ostream& err,
                    const ReadBack& readBack = {});

// read-reg: ReadRegValue's text and a new line. Reading never fails ("Not Found").
int RunReadReg(RegistryReader& registry, std::uint32_t rootKey, const std::string& keyPath,
               const std::string& valueName, std::ostream& out);

// Before a boost, Pro Boost or restore: a process without administrator rights says
// so in one line; with elevate it runs arguments (the whole command line) again with
// them and waits. Nothing when the command may go on here, else its exit status.
std::optional<int> CheckRights(Elevation& elevation, const std::string& command, bool elevate,
                const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace brisko::cli
