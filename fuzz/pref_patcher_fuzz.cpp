// SPDX-License-Identifier: GPL-3.0-or-later
// The browser preference patcher on real files: profiles.ini, the Firefox prefs.js,
// the control profile's folder name and its prefs.js come from the input. Whatever
// they hold, a boost or restore step touches nothing outside the emulated drive C:;
// a step that fails leaves every prefs.js as it was (only its ".tmp" copies may stay
// behind); one that succeeds changes exactly one prefs.js: a boost to its old lines
// and then the nine, a restore to the stock file, keeping the old one beside it.
//
// Input: one byte choosing boost or restore and a failure to inject, then the four
// parts separated by "\n%%\n". A missing part is a missing file (or no profile folder).
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "boost/pref_patcher.h"
#include "fuzz/fuzz_check.h"
#include "platform/error.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/paths_posix.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fakes.h"

namespace {

namespace fs = std::filesystem;
using namespace brisko;

const std::string kSeparator = "\n%%\n";
const std::string kHomePath = "\\Users\\fuzz";
const char* const kStockControl = "stock control\r\n";
const char* const kStockFire = "stock fire\r\n";

// A folder of our own for the whole run, removed at its end (not after a crash):
// under $TMPDIR when set, else on tmpfs when there is one, since every patch syncs
// its files to disk.
class RunFolder {
public:
    RunFolder() {
        std::error_code ec;
        const bool shm = !std::getenv("TMPDIR") && fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
        const fs::path parent = shm ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (parent / "brisko-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) fuzz::Fail("cannot make a temporary folder in " + parent.string());
        m_path = pattern;
    }
    ~RunFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

const fs::path& Base() {
    static const RunFolder folder;
    return folder.Path();
}

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        fuzz::Fail("cannot write " + file.string());
}

std::string Read(const fs::path& file) {
    std::string bytes;
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// Every folder and file below base, relative path -> bytes ("<folder>" for folders).
std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> entries;
    const std::size_t prefix = Base().string().size() + 1;
    for (const auto& entry : fs::recursive_directory_iterator(Base())) {
        const std::string name = entry.path().string().substr(prefix);
        entries[name] = entry.is_symlink() ? "<link>" : entry.is_directory() ? "<folder>" : Read(entry.path());
    }
    return entries;
}

// The working folder's names: a path that lost its drive would land here.
std::set<std::string> WorkingFolderNames() {
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(fs::current_path(), ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().string());
    return names;
}

// prefs.js as the patcher reads it: lines end at CR or CR LF, written back with CR LF.
std::string Lines(const std::string& before) {
    std::string out;
    std::size_t start = 0;
    while (start < before.size()) {
        const std::size_t cr = before.find('\r', start);
        if (cr == std::string::npos) {
            out += before.substr(start) + "\r\n";
            break;
        }
        out += before.substr(start, cr - start) + "\r\n";
        start = cr + 1;
        if (start < before.size() && before[start] == '\n') ++start;
    }
    return out;
}

std::string Patched(const std::string& before) {
    std::string out = Lines(before);
    for (std::string_view line : BoostPrefLines) out += std::string(line) + "\r\n";
    return out;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct Outcome {
    const char* step = "";
    bool failed = false;
    std::string why;
    const char* stock = nullptr;  // a restore: the stock file's content
};

void CheckStep(const Outcome& outcome, const std::map<std::string, std::string>& before,
               const std::map<std::string, std::string>& after) {
    const std::string drive = "root/drive_c/";
    std::vector<std::string> changed;
    for (const auto& [name, bytes] : before) {
        auto it = after.find(name);
        if (it == after.end() || it->second != bytes) changed.push_back(name);
    }
    for (const auto& [name, bytes] : after)
        if (!before.count(name)) changed.push_back(name);
    std::string list;
    for (const std::string& name : changed) list += "\n  " + fuzz::Escaped(name);

    const std::string context =
        std::string(outcome.step) + (outcome.failed ? " failed (" + outcome.why + ")" : " succeeded");
    for (const std::string& name : changed) {
        if (name.compare(0, drive.size(), drive) != 0) fuzz::Fail(context + " but changed " + name + ", outside drive C:");
    }
    if (outcome.failed) {
        for (const std::string& name : changed) {
            if (!EndsWith(name, ".tmp") && !(outcome.stock && EndsWith(name, kBeforeRestoreSuffix)))
                fuzz::Fail(context + " but changed:" + list);
        }
        return;
    }
    // The one prefs.js changed (or kept beside itself, when it already was the stock file).
    std::string prefs;
    for (const std::string& name : changed) {
        if (fs::path(name).filename() == "prefs.js") prefs = name;
        if (fs::path(name).filename() == std::string("prefs.js") + kBeforeRestoreSuffix)
            prefs = name.substr(0, name.size() - std::strlen(kBeforeRestoreSuffix));
    }
    const std::string kept = prefs + kBeforeRestoreSuffix;
    for (const std::string& name : changed) {
        if (name != prefs && !(outcome.stock && name == kept))
            fuzz::Fail(context + " and should have changed one prefs.js, but changed:" + list);
    }
    if (prefs.empty()) {
        if (!outcome.stock) fuzz::Fail(context + " but no prefs.js changed");
        return;  // the stock file was already in place, and kept before
    }
    if (!after.count(prefs)) fuzz::Fail(context + " but " + prefs + " is gone");
    const auto old = before.find(prefs);
    if (outcome.stock) {
        if (after.at(prefs) != outcome.stock) fuzz::Fail(context + " but " + prefs + " is not the stock file");
        // A file that was the stock one already holds nothing of the user's to keep.
        const bool userLines = old != before.end() && Lines(old->second) != Lines(outcome.stock);
        if (userLines && (!after.count(kept) || after.at(kept) != old->second))
            fuzz::Fail(context + " but the replaced " + prefs + " was not kept");
        return;
    }
    if (old == before.end()) fuzz::Fail(context + " but made a new " + prefs);
    if (after.at(prefs) != Patched(old->second)) {
        fuzz::Fail(context + " but " + prefs + " does not hold its old lines and the nine\nbefore: " +
                   fuzz::Escaped(old->second) + "\nafter:  " + fuzz::Escaped(after.at(prefs)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int failure = data[0] % 8;
    const bool restore = data[0] & 8;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = rest.find(kSeparator, start);
        parts.push_back(rest.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + kSeparator.size();
    }
    parts.resize(4, std::string(1, '\0'));  // "\0": the part is missing

    // A fresh machine: the drive with the user's profiles, and what lies beside it.
    const fs::path root = Base() / "root";
    fs::remove_all(root);
    const fs::path home = root / "drive_c/Users/fuzz/application data";
    const fs::path firefox = home / "mozilla/firefox";
    const fs::path controlRoot = home / "mozillaControl/profiles/mozillaControl";
    Write(root / "outside.txt", "not to be touched\r\n");
    Write(root / "registry/HKEY_CURRENT_USER.reg", "");
    Write(root / "program/control.js", kStockControl);
    Write(root / "program/fire.js", kStockFire);
    fs::create_directories(firefox / "Profiles");
    fs::create_directories(controlRoot);
    if (parts[0] != std::string(1, '\0')) Write(firefox / "profiles.ini", parts[0]);
    if (parts[1] != std::string(1, '\0')) Write(firefox / "Profiles/abc.default/prefs.js", parts[1]);
    const std::string& folder = parts[2];
    const bool folderNameOk = !folder.empty() && folder != "." && folder != ".." && folder.size() < 200 &&
                              folder.find_first_of(std::string("/\0", 2)) == std::string::npos;
    if (folderNameOk) {
        fs::create_directories(controlRoot / folder);
        if (parts[3] != std::string(1, '\0')) Write(controlRoot / folder / "prefs.js", parts[3]);
    }

    FileSystemPosix real;
    test::FakeFileSystem files(real);
    if (failure == 1) files.failCopyTo = ".tmp";
    if (failure == 2) files.failCommit = true;
    if (failure == 3) files.failReplace = true;
    if (failure >= 4) files.failWriteLine = failure - 3;
    const PathMapperPosix paths(root.string(), (root / "program").string());
    test::FakeEventPump pump;
    MemoryTextList list1;
    PrefPatcher patcher(paths, pump, list1, files);

    const std::set<std::string> workingFolder = WorkingFolderNames();
    const struct {
        const char* name;
        void (PrefPatcher::*run)(const std::string&);
        const char* stock;
    } boost[] = {{"PatchControlPrefs", &PrefPatcher::PatchControlPrefs, nullptr},
                 {"PatchFirefoxPrefs", &PrefPatcher::PatchFirefoxPrefs, nullptr}},
      restoring[] = {{"RestoreControlPrefs", &PrefPatcher::RestoreControlPrefs, kStockControl},
                     {"RestoreFirefoxPrefs", &PrefPatcher::RestoreFirefoxPrefs, kStockFire}};
    for (const auto& step : restore ? restoring : boost) {
        const auto before = Snapshot();
        Outcome outcome;
        outcome.step = step.name;
        outcome.stock = step.stock;
        try {
            (patcher.*step.run)(kHomePath);
        } catch (const AppError& e) {
            outcome.failed = true;
            outcome.why = e.Description();
        }
        CheckStep(outcome, before, Snapshot());
    }
    if (WorkingFolderNames() != workingFolder) fuzz::Fail("a patch left something in the working folder");
    return 0;
}
