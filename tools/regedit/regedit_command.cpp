#include "tools/regedit/regedit_command.h"

#include <sys/stat.h>

#include "platform/posix/file_replace.h"
#include "platform/posix/paths_posix.h"
#include "platform/posix/reg_file.h"
#include "platform/posix/registry_store.h"

namespace brisko {
namespace {

const char kUsage[] =
    "Usage:\n"
    "  regedit /s FILE...      import registry files (.reg) without asking\n"
    "  regedit /e FILE [KEY]   export KEY and everything below it, or the whole\n"
    "                          registry, to FILE (Windows Registry Editor Version 5.00)\n";

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Relative names are taken from the working folder; a Windows-style name ("data\x.reg",
// "C:\...") is mapped into the emulated machine when it does not exist as written.
std::string NativeFileName(const std::string& systemRoot, const std::string& file) {
    if (Exists(file)) return file;
    const bool windowsStyle = file.find('\\') != std::string::npos || (file.size() >= 2 && file[1] == ':');
    if (!windowsStyle) return file;
    return PathMapperPosix(systemRoot, RunningProgramFolder()).ToNative(file);
}

}  // namespace

bool ImportRegFile(const std::string& systemRoot, const std::string& file, std::ostream& err) {
    std::string bytes;
    const Status read = ReadWholeFile(NativeFileName(systemRoot, file), &bytes);
    if (!read.ok()) {
        err << "regedit: " << read.text << "\n";
        return false;
    }
    const RegFileContent content = ParseRegFile(bytes, file);
    for (const std::string& message : content.messages) err << message << "\n";
    if (!content.headerOk) return false;

    RegistryStore store(systemRoot);
    const Status written = store.Modify([&](RegistryTransaction& registry) {
        for (const RegCommand& command : content.commands) {
            RegKey* hive = registry.Hive(command.root);
            if (!hive) return Status::Ok();  // the transaction reports why
            ApplyRegCommand(*hive, command);
        }
        return Status::Ok();
    });
    if (!written.ok()) {
        err << "regedit: " << file << ": nothing imported: " << written.text << "\n";
        return false;
    }
    return content.messages.empty();
}

bool ExportRegKey(const std::string& systemRoot, const std::string& file, const std::string& key,
                  std::ostream& err) {
    RegistryStore store(systemRoot);
    std::vector<std::unique_ptr<RegKey>> hives;
    std::vector<RegExportItem> items;

    const auto load = [&](RegRoot root) -> RegKey* {
        std::unique_ptr<RegKey> hive;
        const Status status = store.Load(root, &hive);
        if (!status.ok()) {
            err << "regedit: " << status.text << "\n";
            return nullptr;
        }
        hives.push_back(std::move(hive));
        return hives.back().get();
    };

    if (key.empty()) {
        for (RegRoot root : {RegRoot::LocalMachine, RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::Users,
                             RegRoot::CurrentConfig}) {
            const RegKey* hive = load(root);
            if (!hive) return false;
            items.push_back({RootName(root), hive});
        }
    } else {
        const std::size_t slash = key.find('\\');
        RegRoot root;
        if (!RootFromName(key.substr(0, slash), &root)) {
            err << "regedit: unknown root key in \"" << key << "\"\n";
            return false;
        }
        std::string rest = slash == std::string::npos ? "" : key.substr(slash + 1);
        if (!rest.empty() && rest.back() == '\\') rest.pop_back();
        std::vector<std::string> path;
        const RegKey* found = nullptr;
        if (SplitKeyPath(rest, &path)) {
            if (const RegKey* hive = load(root)) found = hive->Find(path);
        }
        if (!found) {
            err << "regedit: cannot export \"" << key << "\": the key does not exist\n";
            return false;
        }
        // The name as the registry spells it.
        std::string fullName = RootName(root);
        const RegKey* walk = hives.back().get();
        for (const std::string& part : path) {
            walk = walk->Subkey(part);
            fullName += "\\" + walk->Name();
        }
        items.push_back({fullName, found});
    }

    const Status written = ReplaceFileContents(file, ExportRegFile(items));
    if (!written.ok()) {
        err << "regedit: " << written.text << "\n";
        return false;
    }
    return true;
}

int RunRegedit(const std::vector<std::string>& args, const std::string& systemRoot, std::ostream& err) {
    const auto usage = [&] {
        err << kUsage;
        return 2;
    };
    if (args.empty()) return usage();
    const std::string& option = args[0];
    if (option.size() != 2 || (option[0] != '/' && option[0] != '-')) return usage();
    const char letter = static_cast<char>(option[1] | 0x20);

    if (letter == 's') {
        if (args.size() < 2) return usage();
        bool ok = true;
        for (std::size_t i = 1; i < args.size(); ++i) ok = ImportRegFile(systemRoot, args[i], err) && ok;
        return ok ? 0 : 1;
    }
    if (letter == 'e') {
        if (args.size() < 2 || args.size() > 3) return usage();
        return ExportRegKey(systemRoot, args[1], args.size() == 3 ? args[2] : "", err) ? 0 : 1;
    }
    return usage();
}

}  // namespace brisko
