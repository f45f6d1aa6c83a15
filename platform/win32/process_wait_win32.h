#pragma once
// What the reopener needs on Windows: which process started it, and waiting for
// that process to end.
#include <chrono>
#include <cstdint>

namespace brisko {

// The process that started this one, 0 when it has already ended or cannot be told
// (its id may then belong to a newer process, which is not taken for it).
std::uint32_t ParentProcessIdWin32();

enum class ProcessWaitResult { Ended, TimedOut, CannotWatch };

// OpenProcess(SYNCHRONIZE) + WaitForSingleObject: returns once process id has ended
// or limit has passed. A process that is already gone counts as ended.
ProcessWaitResult WaitForProcessEndWin32(std::uint32_t id, std::chrono::milliseconds limit);

}  // namespace brisko
