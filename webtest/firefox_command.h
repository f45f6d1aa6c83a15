// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening the test page in the user's own Firefox, by the start command it registered.
#include <string>

#include "platform/message_box.h"
#include "platform/process_start.h"
#include "platform/registry_read.h"

namespace brisko {

// The registered command, one blank, the address as typed (not quoted).
std::string BuildFirefoxCommand(const std::string& registeredCommand, const std::string& address);

// Starts Firefox minimized with the focus, never through a shell. When no command is
// registered or it cannot be started, a message says so; the program goes on.
void OpenInFirefox(RegistryReader& registry, ProcessStarter& processes, MessageBoxService& messages,
                   const std::string& address);

}  // namespace brisko
