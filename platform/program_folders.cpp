// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/open_file.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;

// One file every delivery of the data has; the boost cannot start without it.
constexpr const char* kDataMarker = "web.reg";

bool HoldsData(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / kDataMarker, ec);
}

bool IsFolder(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder, ec);
}

std::string Text(const fs::path& folder) {
    std::string text = Utf8FromPath(folder.lexically_normal());
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace

ProgramFolders FindProgramFolders(const std::string& exeFolder, const char* dataDir) {
    const fs::path exe = PathFromUtf8(exeFolder.empty() ? "." : exeFolder).lexically_normal();
    ProgramFolders folders{Text(exe), Text(exe), Text(exe)};
    if (!HoldsData(exe)) {
        // Started from <prefix>/lib/brisko (a helper) or from <prefix>/bin.
        const fs::path trimmed = exe.has_filename() ? exe : exe.parent_path();
        const bool fromHelpers = trimmed.filename() == "brisko" && trimmed.parent_path().filename() == "lib";
        const fs::path prefix = fromHelpers ? trimmed.parent_path().parent_path() : trimmed.parent_path();
        if (IsFolder(prefix / "share" / "brisko")) {
            folders.data = Text(prefix / "share" / "brisko");
            folders.helpers = Text(prefix / "lib" / "brisko");
            folders.programs = Text(prefix / "bin");
        }
    }
    // A relative setting counts from where we were started, as the system root's does.
    std::error_code ec;
    if (dataDir != nullptr && *dataDir != '\0') folders.data = Text(fs::absolute(PathFromUtf8(dataDir), ec));
    return folders;
}

ProgramFolders FindProgramFolders(const std::string& exeFolder) {
    return FindProgramFolders(exeFolder, std::getenv("BRISKO_DATA_DIR"));
}

}  // namespace brisko
