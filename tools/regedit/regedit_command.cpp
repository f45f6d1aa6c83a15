// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/regedit/regedit_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <new>

#include "winenv/winenv.h"
#include "platform/posix/paths_posix.h"

namespace brisko {
namespace {

const char kUsage[] =
    "Usage:\n"
    "  regedit /s FILE...      import registry files (.reg) without asking\n"
    "  regedit /e FILE [KEY]   export KEY and everything below it, or the whole\n"
    "                          registry, to FILE (Windows Registry Editor Version 5.00)\n";

// Enough to find what is wrong with a file; a file of nothing but bad lines would
// otherwise fill the screen, and memory.
constexpr std::size_t kShownMessages = 100;

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
    try {
        const std::string native = NativeFileName(systemRoot, file);
        UniqueFd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
            err << "regedit: cannot open " << native << ": " << Status::FromErrno(errno).text << "\n";
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            err << "regedit: cannot read " << native << ": " << Status::FromErrno(EISDIR).text << "\n";
            return false;
        }
        // A regular file is read as it is parsed, under the lock. Anything else (a pipe)
        // could keep us waiting, and every other importer with us: it is read first.
        std::string bytes;
        const bool stream = S_ISREG(info.st_mode);
        if (!stream) {
            const Status read = ReadOpenFile(fd.get(), &bytes);
            if (!read.ok()) {
                err << "regedit: cannot read " << native << ": " << read.text << "\n";
                return false;
            }
        }

        RegistryStore store(systemRoot);
        RegParseSummary summary;
        Status read;
        // Said once the lock is given back: a full pipe on our standard error must not
        // keep every other importer waiting.
        std::vector<std::string> shown;
        const Status written = store.Modify([&](RegistryTransaction& registry) {
            std::map<RegRoot, RegApplier> appliers;
            const RegParseHandlers handlers{
                [&](RegCommand& command) {
                    RegKey* hive = registry.Hive(command.root);
                    if (!hive) return false;  // the transaction reports why
                    appliers.try_emplace(command.root, *hive).first->second.Apply(command);
                    return true;
                },
                [&](const std::string& message) {
                    if (shown.size() < kShownMessages) shown.push_back(message);
                }};
            if (stream) {
                read = ParseRegFd(fd.get(), file, handlers, &summary);
            } else {
                RegFileParser parser(file, handlers);
                parser.Feed(bytes);
                summary = parser.Finish();
            }
            return read;
        });
        for (const std::string& message : shown) err << message << "\n";
        if (summary.messages > shown.size())
            err << file << ": " << summary.messages - shown.size() << " more lines skipped\n";
        if (!written.ok()) {
            err << "regedit: " << file << ": nothing imported: " << written.text << "\n";
            return false;
        }
        return summary.headerOk && summary.messages == 0;
    } catch (const std::bad_alloc&) {
        err << "regedit: " << file << " is too large for the memory available; nothing imported\n";
        return false;
    }
}

namespace {

// Writes the hive's keys, or the one key, to out; false (with a message) when the key
// is not there or a hive cannot be read.
bool WriteExport(const RegistryStore& store, const std::string& key, RegFileWriter& out, std::ostream& err) {
    const auto load = [&](RegRoot root, std::unique_ptr<RegKey>* hive) {
        const Status status = store.Load(root, hive);
        if (!status.ok()) err << "regedit: " << status.text << "\n";
        return status.ok();
    };
    std::unique_ptr<RegKey> hive;
    if (key.empty()) {
        // One hive in memory at a time.
        for (RegRoot root : {RegRoot::LocalMachine, RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::Users,
                             RegRoot::CurrentConfig}) {
            if (!load(root, &hive)) return false;
            out.Key(RootName(root), *hive);
        }
        return true;
    }
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
        if (!load(root, &hive)) return false;
        found = hive->Find(path);
    }
    if (!found) {
        err << "regedit: cannot export \"" << key << "\": the key does not exist\n";
        return false;
    }
    // The name as the registry spells it.
    std::string fullName = RootName(root);
    const RegKey* walk = hive.get();
    for (const std::string& part : path) {
        walk = walk->Subkey(part);
        fullName += "\\" + walk->Name();
    }
    out.Key(fullName, *found);
    return true;
}

}  // namespace

bool ExportRegKey(const std::string& systemRoot, const std::string& file, const std::string& key,
                  std::ostream& err) {
    try {
        // The file is replaced only once it is complete; through a link it is the file the
        // link names that changes, and a device, FIFO or folder is refused, never replaced.
        FileReplacement replacement;
        Status status = replacement.Begin(file);
        if (!status.ok()) {
            err << "regedit: " << status.text << "\n";
            return false;
        }
        RegFileWriter writer([&](std::string_view bytes) {
            status = replacement.Write(bytes);
            return status.ok();
        });
        if (!WriteExport(RegistryStore(systemRoot), key, writer, err)) return false;
        writer.Finish();
        if (status.ok()) status = replacement.Commit();
        if (!status.ok()) {
            err << "regedit: " << status.text << "\n";
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        err << "regedit: the registry is too large for the memory available; " << file << " not written\n";
        return false;
    }
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
