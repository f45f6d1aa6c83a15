// SPDX-License-Identifier: GPL-3.0-or-later
#include "winenv/system_root.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "winenv/file_replace.h"
#include "winenv/registry_store.h"

namespace brisko {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir) home = entry->pw_dir;
    }
    return home;
}

std::string LoginName() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name && *entry->pw_name) {
        return entry->pw_name;
    }
    std::string name = Env("USER");
    if (name.empty()) name = Env("LOGNAME");
    return name.empty() ? "user" : name;
}

// Full path of an executable regular file called name in a PATH folder, or "".
std::string FindOnPath(const std::string& name) {
    const std::string path = Env("PATH");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || folder[0] != '/') continue;  // a relative entry depends on where we run
        const std::string candidate = folder + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

// Name of an entry in folder that matches name without regard to case, or name.
std::string ExistingSpelling(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return name;
    std::string found = name;
    const std::string folded = FoldName(name);
    while (const dirent* entry = ::readdir(dir)) {
        if (FoldName(entry->d_name) == folded) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// Creates folder/a/b/..., reusing names that exist in another case, as Windows would.
Status MakeWindowsFolders(std::string folder, const std::vector<std::string>& parts) {
    for (const std::string& part : parts) {
        folder += "/" + ExistingSpelling(folder, part);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            Status status = Status::FromErrno(errno);
            status.text = "cannot create folder " + folder + ": " + status.text;
            return status;
        }
    }
    return Status::Ok();
}

}  // namespace

std::string SystemRootFolder() {
    std::string root = Env("BRISKO_SYSTEM_ROOT");
    if (root.empty()) {
        std::string data = Env("XDG_DATA_HOME");
        if (data.empty() || data[0] != '/') data = HomeFolder() + "/.local/share";
        root = data + "/brisko/system";
    }
    if (root[0] == '/') return root;
    // Relative to the folder we were started in, not to wherever we go later.
    while (root.size() > 2 && root.compare(0, 2, "./") == 0) root.erase(0, 2);
    std::string cwd(4096, '\0');
    if (!::getcwd(cwd.data(), cwd.size())) return root;
    cwd.resize(std::char_traits<char>::length(cwd.c_str()));
    return (cwd == "/" ? "" : cwd) + "/" + (root == "." ? "" : root);
}

std::string AnchorSystemRoot() {
    const std::string root = SystemRootFolder();
    ::setenv("BRISKO_SYSTEM_ROOT", root.c_str(), 1);
    return root;
}

std::string DriveFolder(const std::string& systemRoot, char driveLetter) {
    const char letter = driveLetter >= 'A' && driveLetter <= 'Z' ? static_cast<char>(driveLetter - 'A' + 'a') : driveLetter;
    return (systemRoot.empty() || systemRoot.back() != '/' ? systemRoot + "/" : systemRoot) + kDriveFolderPrefix + letter;
}

Status ProvisionSystemRoot(const std::string& systemRoot) {
    const std::string driveC = DriveFolder(systemRoot, 'C');
    Status status = MakeFolders(driveC);
    if (status.ok()) status = MakeFolders(systemRoot + "/registry");
    if (!status.ok()) return status;

    const std::string login = LoginName();
    status = MakeWindowsFolders(driveC, {"Users", login});
    if (!status.ok()) return status;

    const std::string firefox = FindOnPath("firefox");
    const std::vector<std::string> firefoxKey = {"SOFTWARE", "Clients", "StartMenuInternet", "FIREFOX.EXE",
                                                 "shell",    "open",    "command"};
    const auto provide = [&](RegKey* user, RegKey* machine) {
        bool changed = false;
        const auto setWhenMissing = [&changed](RegKey& key, const std::string& name, const std::string& text) {
            if (key.Value(name)) return;
            key.SetValue(name, MakeStringValue(text));
            changed = true;
        };
        if (user) {
            RegKey& environment = user->Create({"Volatile Environment"});
            setWhenMissing(environment, "HOMEPATH", "\\Users\\" + login);
            setWhenMissing(environment, "HOMEDRIVE", "C:");
        }
        if (machine) setWhenMissing(machine->Create(firefoxKey), "", "\"" + firefox + "\"");
        return changed;
    };

    // Every start comes here: it looks without any lock (hives are replaced whole), and
    // only a machine that lacks something waits for the writers' lock.
    RegistryStore store(systemRoot);
    std::unique_ptr<RegKey> user, machine;
    if (store.Load(RegRoot::CurrentUser, &user).ok() &&
        (firefox.empty() || store.Load(RegRoot::LocalMachine, &machine).ok()) &&
        !provide(user.get(), machine.get())) {
        return Status::Ok();
    }
    return store.Modify([&](RegistryTransaction& registry) {
        provide(registry.Hive(RegRoot::CurrentUser), firefox.empty() ? nullptr : registry.Hive(RegRoot::LocalMachine));
        return Status::Ok();
    });
}

}  // namespace brisko
