// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows paths as the program builds them ("C:" + ...), mapped to real ones.
// Back ends: PathMapperPosix (posix/: drive C: is <system root>/drive_c, existing
// names matched without regard to case), PathMapperWin32 (win32/: the identity).
// SystemServices (platform/services.h) owns it; windows and logic borrow it.
#include <string>

namespace brisko {

class PathMapper {
public:
    virtual ~PathMapper() = default;
    // "C:\Users\ann\x" -> a native path. A path without a drive letter only has
    // its backslashes turned into the native separator.
    virtual std::string ToNative(const std::string& windowsPath) const = 0;
    // The inverse, as the file system spells the names: native -> "C:\Users\Ann\x".
    // Paths outside the emulated drive come back unchanged.
    virtual std::string ToWindows(const std::string& nativePath) const = 0;
    // Folder of the running executable (native, no trailing separator).
    virtual std::string ProgramFolder() const = 0;
    // The separator to put between ProgramFolder() and a file name.
    virtual char Separator() const = 0;
};

// Folder of the running executable (Linux: /proc/self/exe); the current folder when
// that cannot be read.
std::string RunningProgramFolder();

}  // namespace brisko
