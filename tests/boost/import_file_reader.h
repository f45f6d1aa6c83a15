// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads the delivered import files just far enough to know the values each one sets.
#include <cstdint>
#include <string>
#include <vector>

namespace brisko::test {

struct RegValueName {
    std::uint32_t root = 0;
    std::string keyPath;  // below the root
    std::string name;
};

struct ImportFile {
    std::vector<std::pair<RegValueName, std::uint32_t>> dwords;  // values set, all DWORDs
};

// Reads name from the folder Brisko runs in; records test failures for anything malformed.
ImportFile LoadImportFile(const std::string& name);

}  // namespace brisko::test
