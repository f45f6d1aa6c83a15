// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/handoff.h"

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace brisko {

namespace {

void WaitForParent(pid_t parent, std::chrono::steady_clock::time_point deadline) {
#ifdef SYS_pidfd_open
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, parent, 0));
    if (pidfd >= 0) {
        // Had the parent ended before the pidfd was taken, we would have a new parent by now.
        if (getppid() == parent) {
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                pollfd fd{pidfd, POLLIN, 0};
                const int ready = poll(&fd, 1, static_cast<int>(left.count()));
                if (ready > 0 || (ready < 0 && errno != EINTR)) break;
            }
        }
        close(pidfd);
        return;
    }
#endif
    // No pidfd: once the parent has ended, this process is handed to another one.
    while (getppid() == parent && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace

void WaitForStarterToEnd(std::chrono::milliseconds limit) {
    const pid_t parent = getppid();
    // Parent 1 means it has already gone (or there never was one to wait for).
    if (parent > 1) WaitForParent(parent, std::chrono::steady_clock::now() + limit);
}

Status StartDetached(const std::string& program) {
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string path = program;
    char* arguments[] = {path.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawn(&child, path.c_str(), nullptr, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? Status::Ok() : Status::Fail(error, std::strerror(error));
}

Status ReplaceProcess(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> copies = args;
    std::vector<char*> arguments;
    for (std::string& arg : copies) arguments.push_back(arg.data());
    arguments.push_back(nullptr);
    ::execv(program.c_str(), arguments.data());
    const int error = errno;
    return Status::Fail(error, std::strerror(error));
}

}  // namespace brisko
