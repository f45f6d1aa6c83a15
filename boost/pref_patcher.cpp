// SPDX-License-Identifier: GPL-3.0-or-later
#include "boost/pref_patcher.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace brisko {

namespace {

constexpr const char* kSource = "Brisko";

// "cannot replace <path>: <the system's own words>", one error in one text.
void Check(const Status& status, const std::string& what) {
    if (!status.ok()) throw AppError(status.code, kSource, what + ": " + status.text);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void RemoveAll(std::string& text, const std::string& what) {
    if (what.empty()) return;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos)) text.erase(pos, what.size());
}

}  // namespace

std::string ControlRoot(const std::string& homePath) {
    return "C:" + homePath + "\\application data\\mozillaControl\\profiles\\mozillaControl\\";
}

std::string FirefoxRoot(const std::string& homePath) {
    return "c:" + homePath + "\\application data\\mozilla\\firefox\\";
}

std::string FirefoxProfileList(const std::string& homePath) {
    return "c:" + homePath + "\\application data\\mozilla\\firefox\\profiles.ini";
}

PrefPatcher::PrefPatcher(const PathMapper& paths, EventPump& pump, TextList& list1, FileSystem& files)
    : m_paths(paths), m_pump(pump), m_list1(list1), m_files(files) {}

void PrefPatcher::PatchControlPrefs(const std::string& homePath) { AppendPrefLines(ControlPrefsFile(homePath)); }

void PrefPatcher::PatchFirefoxPrefs(const std::string& homePath) { AppendPrefLines(FirefoxPrefsFile(homePath)); }

void PrefPatcher::RestoreControlPrefs(const std::string& homePath) {
    CopyStockOver(StockFile("control.js"), ControlPrefsFile(homePath));
}

void PrefPatcher::RestoreFirefoxPrefs(const std::string& homePath) {
    CopyStockOver(StockFile("fire.js"), FirefoxPrefsFile(homePath));
}

std::string PrefPatcher::ControlPrefsFile(const std::string& homePath) {
    return ControlRoot(homePath) + FindControlProfile(homePath) + ".slt\\prefs.js";
}

std::string PrefPatcher::FirefoxPrefsFile(const std::string& homePath) {
    return FindFirefoxProfile(homePath) + "\\prefs.js";
}

std::string PrefPatcher::StockFile(const char* name) const {
    // The program's own folder, whatever the working folder is.
    return m_paths.ProgramFolder() + m_paths.Separator() + name;
}

void PrefPatcher::ListFolderTree(const std::string& folderPath) { ListFolderTreeNative(m_paths.ToNative(folderPath)); }

void PrefPatcher::ListFolderTreeNative(const std::string& nativeFolder) {
    FolderListing listing;
    Check(m_files.GetFolder(nativeFolder, &listing), "cannot list the folder " + nativeFolder);
    // Spelled as Windows would report it, so the caller can strip the root from it.
    m_list1.Append("\t" + m_paths.ToWindows(listing.path));
    for (const auto& name : listing.fileNames) m_list1.Append("\t\t" + name);
    for (const auto& sub : listing.subFolderPaths) ListFolderTreeNative(sub);
}

std::string PrefPatcher::FindControlProfile(const std::string& homePath) {
    const std::string root = ControlRoot(homePath);
    m_list1.Clear();
    // Most machines never had the control installed: no root, nothing to change.
    if (!m_files.FolderExists(m_paths.ToNative(root)))
        throw NoProfileHere(76, kSource, "the Mozilla control has no profile here");
    ListFolderTree(root);
    if (m_list1.Count() < 2)
        throw NoProfileHere(76, kSource, "the Mozilla control has no profile here");
    // The profile folder is expected to be the only thing in the root.
    std::string entry = m_list1.At(1);
    if (entry.size() < 4) throw AppError(5, kSource, "no profile folder in " + m_paths.ToNative(root));
    entry.resize(entry.size() - 4);  // the ".slt" extension
    entry.erase(std::remove(entry.begin(), entry.end(), '\t'), entry.end());
    entry = Lower(entry);
    RemoveAll(entry, Lower(root));
    return entry;
}

namespace {

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;

    const std::string* Get(std::string_view key) const {
        for (const auto& [k, v] : keys)
            if (k == key) return &v;
        return nullptr;
    }
};

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

void AddIniLine(std::vector<IniSection>& sections, const std::string& line) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == ';' || text[0] == '#') return;
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close != std::string::npos) sections.push_back({text.substr(1, close - 1), {}});
        return;
    }
    const auto equals = text.find('=');
    if (equals == std::string::npos || sections.empty()) return;
    sections.back().keys.emplace_back(Trimmed(std::string_view(text).substr(0, equals)),
                                      Trimmed(std::string_view(text).substr(equals + 1)));
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// An absolute profile path needs its drive ("D:\Profiles\x"); one without ("\x",
// "/home/x") would be resolved against whatever folder we run in.
bool HasDrive(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

}  // namespace

std::string PrefPatcher::FindFirefoxProfile(const std::string& homePath) {
    const std::string list = m_paths.ToNative(FirefoxProfileList(homePath));
    // No profiles.ini: Firefox is not installed, so there is nothing to change.
    if (!m_files.FileExists(list)) throw NoProfileHere(53, kSource, "Firefox has no profile here");
    Status error;
    auto reader = m_files.OpenForReading(list, &error);
    Check(error, "cannot open " + list);
    // Firefox writes the list with LF alone, which the reader leaves inside its lines.
    std::vector<IniSection> sections;
    while (!reader->AtEndOfStream()) {
        std::string read;
        Check(reader->ReadLine(&read), "cannot read " + list);
        std::size_t start = 0;
        for (std::size_t end; (end = read.find('\n', start)) != std::string::npos; start = end + 1)
            AddIniLine(sections, read.substr(start, end - start));
        AddIniLine(sections, read.substr(start));
        m_pump.PumpOnce();
    }
    reader.reset();

    // As Firefox picks the profile it starts with: the one its installation names,
    // else the one marked as default, else the first.
    const IniSection* chosen = nullptr;
    std::string path;
    for (const IniSection& section : sections)
        if (StartsWith(section.name, "Install"))
            if (const std::string* value = section.Get("Default"); value && !value->empty()) {
                path = *value;
                break;
            }
    for (const IniSection& section : sections) {
        if (!StartsWith(section.name, "Profile")) continue;
        const std::string* value = section.Get("Path");
        if (!value || value->empty()) continue;
        const std::string* isDefault = section.Get("Default");
        const bool match = !path.empty() ? *value == path : isDefault && *isDefault == "1";
        if (match || (!chosen && path.empty())) chosen = &section;
        if (match) break;
    }
    if (path.empty() && chosen) path = *chosen->Get("Path");
    if (path.empty()) throw NoProfileHere(53, kSource, "Firefox has no profile here");

    const std::string* relative = chosen ? chosen->Get("IsRelative") : nullptr;
    const bool isRelative = relative ? *relative != "0" : !HasDrive(path);
    std::replace(path.begin(), path.end(), '/', '\\');
    if (isRelative) return FirefoxRoot(homePath) + path;
    if (!HasDrive(path)) throw AppError(76, kSource, "the Firefox profile " + path + " has no drive");
    return path;
}

void PrefPatcher::AppendPrefLines(const std::string& prefsPath) {
    const std::string target = m_paths.ToNative(prefsPath);
    const std::string temporary = m_paths.ToNative(prefsPath + ".tmp");

    Status error;
    auto source = m_files.OpenForReading(target, &error);
    Check(error, "cannot open " + target);
    auto copy = m_files.CreateForWriting(temporary, &error);
    Check(error, "cannot create " + temporary);

    std::string line;
    while (!source->AtEndOfStream()) {
        Check(source->ReadLine(&line), "cannot read " + target);
        Check(copy->WriteLine(line), "cannot write " + temporary);
        m_pump.PumpOnce();
    }
    for (std::string_view pref : BoostPrefLines) Check(copy->WriteLine(std::string(pref)), "cannot write " + temporary);
    source.reset();
    Check(copy->Commit(), "cannot write " + temporary);
    // The only moment prefs.js changes: the complete copy takes its place.
    Check(m_files.ReplaceFile(temporary, target), "cannot replace " + target);
}

void PrefPatcher::CopyStockOver(const std::string& stockFile, const std::string& prefsPath) {
    const std::string target = m_paths.ToNative(prefsPath);
    const std::string temporary = m_paths.ToNative(prefsPath + ".tmp");

    // A missing stock file stops here, before anything of the profile is touched.
    Check(m_files.CopyFile(stockFile, temporary), "cannot copy " + stockFile + " to " + temporary);
    if (m_files.FileExists(target)) KeepUserPrefs(target, stockFile, prefsPath);
    Check(m_files.ReplaceFile(temporary, target), "cannot replace " + target);
}

// The user's own preferences are kept beside the stock ones, not thrown away; a file
// kept by an earlier restore is never overwritten.
void PrefPatcher::KeepUserPrefs(const std::string& target, const std::string& stockFile, const std::string& prefsPath) {
    if (SameLines(target, stockFile)) return;  // nothing of the user's in it
    std::string saved;
    for (int number = 1;; ++number) {
        saved = m_paths.ToNative(prefsPath + kBeforeRestoreSuffix + (number > 1 ? "." + std::to_string(number) : ""));
        if (!m_files.FileExists(saved)) break;
        if (SameLines(target, saved)) return;  // kept already
    }
    const std::string savedTemporary = saved + ".tmp";
    Check(m_files.CopyFile(target, savedTemporary), "cannot copy " + target + " to " + savedTemporary);
    Check(m_files.ReplaceFile(savedTemporary, saved), "cannot replace " + saved);
}

bool PrefPatcher::SameLines(const std::string& a, const std::string& b) {
    Status error;
    auto first = m_files.OpenForReading(a, &error);
    if (!error.ok()) return false;
    auto second = m_files.OpenForReading(b, &error);
    if (!error.ok()) return false;
    std::string lineA, lineB;
    while (!first->AtEndOfStream() && !second->AtEndOfStream()) {
        if (!first->ReadLine(&lineA).ok() || !second->ReadLine(&lineB).ok() || lineA != lineB) return false;
    }
    return first->AtEndOfStream() && second->AtEndOfStream();
}

}  // namespace brisko
