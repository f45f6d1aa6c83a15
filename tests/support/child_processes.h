#pragma once
// Waiting on things outside the test program: its child processes and files they write.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace brisko::test {

// Polls done() until it holds or the time is up; true when it held.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Processes whose parent is this test program; zombies count only when asked.
int ChildProcesses(bool countZombies);

// The state letter of a process ('S' sleeping, 'Z' zombie...); '?' when there is none.
char ProcessState(pid_t pid);

// Starts program with args in folder ("" keeps this one), its standard output and
// error going to outputFile; -1 when it cannot be started.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                   const std::string& outputFile);

// Reaps it: its exit status, or -1 when a signal ended it.
int WaitForExit(pid_t pid);

}  // namespace brisko::test
