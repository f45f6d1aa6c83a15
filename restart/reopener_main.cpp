// reopener: started by Brisko right before it ends, without arguments. Waits until
// the program that started it has ended, then starts brisko from its own folder in
// the working folder it was given, and ends.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Long enough for Brisko to close its windows and browser engines; after it the
// new instance starts all the same, since the user is waiting for it.
constexpr auto kWaitLimit = std::chrono::seconds(30);

std::string OwnFolder() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return ".";
    path.resize(static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Waits until process parent has ended or the time limit has passed.
void WaitForParent(pid_t parent) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
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

int main() {
    const pid_t parent = getppid();
    // Parent 1 means it has already gone (or there never was one to wait for).
    if (parent > 1) WaitForParent(parent);

    std::string program = OwnFolder() + "/brisko";
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: the new instance is tied to no terminal or process group.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* arguments[] = {program.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawn(&child, program.c_str(), nullptr, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        std::fprintf(stderr, "reopener: can't start %s: %s\n", program.c_str(), std::strerror(error));
        return 1;
    }
    return 0;
}
