#pragma once
// Waiting on things outside the test program: its child processes and files they write.
#include <chrono>
#include <functional>

namespace brisko::test {

// Polls done() until it holds or the time is up; true when it held.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Processes whose parent is this test program; zombies count only when asked.
int ChildProcesses(bool countZombies);

}  // namespace brisko::test
