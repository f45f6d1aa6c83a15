// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/paths.h"

namespace brisko {

// On Windows the paths the program builds are real ones: the mapping is the identity.
class PathMapperWin32 final : public PathMapper {
public:
    std::string ToNative(const std::string& windowsPath) const override { return windowsPath; }
    std::string ToWindows(const std::string& nativePath) const override { return nativePath; }
    std::string ProgramFolder() const override;
    char Separator() const override { return '\\'; }
};

}  // namespace brisko
