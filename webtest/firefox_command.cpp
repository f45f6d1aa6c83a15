// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/firefox_command.h"

#include "boost/reg_access.h"
#include "webtest/web_test_texts.h"

namespace brisko {

std::string BuildFirefoxCommand(const std::string& registeredCommand, const std::string& address) {
    return registeredCommand + " " + address;
}

void OpenInFirefox(RegistryReader& registry, ProcessStarter& processes, MessageBoxService& messages,
                   const std::string& address) {
    const std::string registered = RegAccess::ReadRegValue(registry, kHkeyLocalMachine, webtext::kFirefoxCommandKey, "");
    // "Not Found" would otherwise be taken as the name of a program to start.
    if (registered == "Not Found" || registered.find_first_not_of(" \t") == std::string::npos) {
        messages.Show(webtext::kFirefoxNotRegisteredMessage);
        return;
    }
    const Status started = processes.Start(BuildFirefoxCommand(registered, address), WindowState::MinimizedActive);
    if (!started.ok()) messages.Show(std::string(webtext::kFirefoxStartFailedPrefix) + started.text);
}

}  // namespace brisko
