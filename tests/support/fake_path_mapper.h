#pragma once
// Drive C: is <root>/drive_c, names taken exactly as given (no case folding).
#include <string>

#include "platform/paths.h"

namespace brisko::test {

class FakePathMapper final : public PathMapper {
public:
    FakePathMapper(std::string systemRoot, std::string programFolder)
        : m_driveC(std::move(systemRoot) + "/drive_c"), m_programFolder(std::move(programFolder)) {}

    std::string ToNative(const std::string& windowsPath) const override {
        std::string path = windowsPath;
        bool onC = path.size() >= 2 && (path[0] == 'C' || path[0] == 'c') && path[1] == ':';
        if (onC) path = path.substr(2);
        for (char& c : path)
            if (c == '\\') c = '/';
        return onC ? m_driveC + path : path;
    }
    std::string ToWindows(const std::string& nativePath) const override {
        if (nativePath.rfind(m_driveC, 0) != 0) return nativePath;
        std::string path = "C:" + nativePath.substr(m_driveC.size());
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }
    std::string ProgramFolder() const override { return m_programFolder; }
    char Separator() const override { return '/'; }

private:
    std::string m_driveC;
    std::string m_programFolder;
};

}  // namespace brisko::test
