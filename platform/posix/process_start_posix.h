// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/process_start.h"

namespace brisko {

// Splits the command line as Windows does and starts the program directly with
// posix_spawn (never a shell); the child gets our environment, and our current folder
// unless a working folder is given (the program is still looked for from ours).
// Program name: a Windows path ("C:\..." or anything with a backslash) goes through
// the path mapping; a name with '/' is used as it is; a bare name is looked for in the
// program's folder, then the current folder, then each PATH entry. A name ending in
// ".exe" is also tried without it. An unquoted name that cannot be found is retried
// with ever longer parts of the line up to a blank, as Windows does for
// C:\Program Files\... written without quotes.
// ownPrograms: bare names (compared without regard to case, ".exe" or not) that are
// Brisko's own and are looked for in the program's folder only: another program of that
// name elsewhere (Wine's regedit on the PATH) is never started in their place.
// The window state has no meaning on Linux: it is accepted and ignored.
// Nothing waits for the program; each child is reaped when it ends (see Start).
class ProcessStarterPosix final : public ProcessStarter {
public:
    ProcessStarterPosix(std::string programFolder, const PathMapper* paths,
                        std::vector<std::string> ownPrograms = {});
    ~ProcessStarterPosix() override;
    ProcessStarterPosix(const ProcessStarterPosix&) = delete;
    ProcessStarterPosix& operator=(const ProcessStarterPosix&) = delete;

    Status Start(const std::string& commandLine, WindowState state,
                 const std::string& workingFolder = {}) override;

private:
    struct Lookup {
        std::string path;  // empty when not found
        int error = 0;     // ENOENT, or EACCES when only non-executable files matched
    };
    Lookup Resolve(const std::string& name) const;
    bool IsOwnProgram(const std::string& name) const;
    std::vector<std::string> SearchFolders() const;
    void Reap(pid_t child);
    void SweepChildren();

    std::string m_programFolder;
    const PathMapper* m_paths;
    std::vector<std::string> m_ownPrograms;
    std::vector<pid_t> m_unreaped;  // children no reaper thread could be started for
};

}  // namespace brisko
