#include "tests/support/child_processes.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace brisko::test {

namespace {

// State and parent from /proc/<pid>/stat; the command name may hold blanks and brackets.
bool ReadStat(const std::filesystem::path& stat, char* state, int* parent) {
    std::ifstream in(stat);
    std::string line;
    if (!std::getline(in, line)) return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %c %d", state, parent) == 2;
}

}  // namespace

bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int ChildProcesses(bool countZombies) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        char state = 0;
        int parent = 0;
        if (ReadStat(entry.path() / "stat", &state, &parent) && parent == ::getpid() && (countZombies || state != 'Z'))
            ++count;
    }
    return count;
}

char ProcessState(pid_t pid) {
    char state = '?';
    int parent = 0;
    return ReadStat("/proc/" + std::to_string(pid) + "/stat", &state, &parent) ? state : '?';
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                   const std::string& outputFile) {
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

int WaitForExit(pid_t pid) {
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace brisko::test
