#pragma once
#include <string>

#include "platform/paths.h"

namespace brisko {

// Drive C: is <systemRoot>/drive_c; existing names are matched without regard to case.
class PathMapperPosix final : public PathMapper {
public:
    PathMapperPosix(std::string systemRoot, std::string programFolder);
    std::string ToNative(const std::string& windowsPath) const override;
    std::string ToWindows(const std::string& nativePath) const override;
    std::string ProgramFolder() const override { return m_programFolder; }
    char Separator() const override { return '/'; }

private:
    std::string m_systemRoot;
    std::string m_programFolder;
};

// Folder of the running executable (from /proc/self/exe).
std::string RunningProgramFolder();

}  // namespace brisko
