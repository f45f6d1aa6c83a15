// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// After the imports: one value of each imported .reg file read back from the registry,
// so that an import that regedit could not write (no rights for HKEY_LOCAL_MACHINE,
// which it does not say) is named instead of counted as done.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_read.h"

namespace brisko::cli {

// One value a .reg file sets ("data" as ReadRegValue gives it back) or removes.
struct ImportedValue {
    std::uint32_t rootKey = 0;
    std::string keyPath;
    std::string name;
    std::string data;
    bool removed = false;
};

// The value of text that tells best whether the import landed: the first under
// HKEY_LOCAL_MACHINE, which needs administrator rights, else the first of all. Only
// dwords, strings and removals count; nothing when the file has none.
std::optional<ImportedValue> ValueToReadBack(const std::string& regText);

// The imported files (names in folder) whose value does not read as the file says.
// The imports run on their own: wait() is asked between rounds and ends the waiting by
// returning false.
std::vector<std::string> ImportsNotLanded(RegistryReader& registry, const std::string& folder,
                                          const std::vector<std::string>& files, const std::function<bool()>& wait);

}  // namespace brisko::cli
