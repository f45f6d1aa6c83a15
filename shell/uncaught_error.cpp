// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/uncaught_error.h"

#include <QApplication>
#include <cstdlib>
#include <functional>
#include <exception>

#include "platform/error.h"

namespace brisko {

namespace {
// Returns false when handler ran to its end; otherwise shows the description.
bool RunAndShow(MessageBoxService& messages, const std::function<void()>& handler) {
    try {
        handler();
        return false;
    } catch (const AppError& e) {
        messages.Show(e.Description());
    } catch (const std::exception& e) {
        messages.Show(e.what());
    }
    return true;
}
}  // namespace

void RunOrEnd(MessageBoxService& messages, const std::function<void()>& handler) {
    if (RunAndShow(messages, handler)) EndProgram(1);
}

void RunOrReport(MessageBoxService& messages, const std::function<void()>& handler) {
    RunAndShow(messages, handler);
}

namespace {
std::function<void(int)>& EndHook() {
    static std::function<void(int)> hook;
    return hook;
}
}  // namespace

void SetEndProgramHook(std::function<void(int)> hook) { EndHook() = std::move(hook); }

void EndProgram(int exitCode) {
    if (EndHook()) {
        EndHook()(exitCode);
        return;
    }
    if (QCoreApplication::instance()) {
        QCoreApplication::exit(exitCode);
        return;
    }
    std::exit(exitCode);
}

}  // namespace brisko
