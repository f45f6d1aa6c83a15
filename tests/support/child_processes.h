// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waiting on things outside the test program: its child processes and files they write.
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace brisko::test {

// State and parent from /proc/<pid>/stat; the command name may hold blanks and brackets.
inline bool ReadStat(const std::filesystem::path& stat, char* state, int* parent) {
    std::ifstream in(stat);
    std::string line;
    if (!std::getline(in, line)) return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %c %d", state, parent) == 2;
}

// Polls done() until it holds or the time is up; true when it held.
inline bool PollUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Processes whose parent is this test program; zombies count only when asked.
inline int ChildProcesses(bool countZombies) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        char state = 0;
        int parent = 0;
        const bool read = ReadStat(entry.path() / "stat", &state, &parent);
        if (read && parent == ::getpid() && (countZombies || state != 'Z')) ++count;
    }
    return count;
}

// The state letter of a process ('S' sleeping, 'Z' zombie...); '?' when there is none.
inline char ProcessState(pid_t pid) {
    char state = '?';
    int parent = 0;
    return ReadStat("/proc/" + std::to_string(pid) + "/stat", &state, &parent) ? state : '?';
}

// Starts program with args in folder ("" keeps this one), its standard output and
// error going to outputFile; -1 when it cannot be started.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& folder, const std::string& outputFile) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Reaps it: its exit status, or -1 when a signal ended it.
inline int WaitForExit(pid_t pid) {
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace brisko::test
