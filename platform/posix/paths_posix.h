// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include "platform/paths.h"

namespace brisko {

// Drive C: is <systemRoot>/drive_c, any other drive X: is <systemRoot>/drive_x.
// Existing names are matched without regard to case (an exact match first, else the
// first in byte order); names that do not exist are kept as written. Both separators
// are accepted, repeated ones collapse, "." and ".." are resolved by name and never
// climb above the drive, and a trailing separator is kept.
class PathMapperPosix final : public PathMapper {
public:
    PathMapperPosix(std::string systemRoot, std::string programFolder);
    std::string ToNative(const std::string& windowsPath) const override;
    std::string ToWindows(const std::string& nativePath) const override;
    std::string ProgramFolder() const override { return m_programFolder; }
    char Separator() const override { return '/'; }

private:
    std::string DriveFolder(char driveLetter) const;

    std::string m_systemRoot;  // no trailing separator unless it is "/"
    std::string m_programFolder;
};

}  // namespace brisko
