#include "boost/pref_patcher.h"

#include <algorithm>
#include <cctype>
#include <deque>

#include "platform/error.h"

namespace brisko {

namespace {

constexpr const char* kSource = "Brisko";

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

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + with.size()))
        text.replace(pos, what.size(), with);
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
    Check(m_files.GetFolder(nativeFolder, &listing), "Path not found");
    // Spelled as Windows would report it, so the caller can strip the root from it.
    m_list1.Append("\t" + m_paths.ToWindows(listing.path));
    for (const auto& name : listing.fileNames) m_list1.Append("\t\t" + name);
    for (const auto& sub : listing.subFolderPaths) ListFolderTreeNative(sub);
}

std::string PrefPatcher::FindControlProfile(const std::string& homePath) {
    const std::string root = ControlRoot(homePath);
    m_list1.Clear();
    ListFolderTree(root);
    // The profile folder is expected to be the only thing in the root.
    std::string entry = m_list1.Count() >= 2 ? m_list1.At(1) : std::string();
    if (entry.size() < 4) throw AppError(5, kSource, "Invalid procedure call or argument");
    entry.resize(entry.size() - 4);  // the ".slt" extension
    entry.erase(std::remove(entry.begin(), entry.end(), '\t'), entry.end());
    entry = Lower(entry);
    RemoveAll(entry, Lower(root));
    return entry;
}

std::string PrefPatcher::FindFirefoxProfile(const std::string& homePath) {
    Status error;
    auto reader = m_files.OpenForReading(m_paths.ToNative(FirefoxProfileList(homePath)), &error);
    Check(error, "File not found");
    // Line 7 is the first profile's "Path=Profiles/<folder>" in the usual layout;
    // the list is not parsed any further. Firefox writes it with LF alone, which the
    // reader leaves inside its lines: those are split here.
    std::deque<std::string> waiting;
    std::string line;
    for (int number = 1; number <= 7; ++number) {
        if (waiting.empty()) {
            std::string read;
            Check(reader->ReadLine(&read), "Input past end of file");
            std::size_t start = 0;
            for (std::size_t end; (end = read.find('\n', start)) != std::string::npos; start = end + 1)
                waiting.push_back(read.substr(start, end - start));
            if (start < read.size() || waiting.empty()) waiting.push_back(read.substr(start));
        }
        line = std::move(waiting.front());
        waiting.pop_front();
        ReplaceAll(line, "Path=Profiles/", "Profiles\\");
        m_pump.PumpOnce();
    }
    return FirefoxRoot(homePath) + line;
}

void PrefPatcher::AppendPrefLines(const std::string& prefsPath) {
    const std::string target = m_paths.ToNative(prefsPath);
    const std::string temporary = m_paths.ToNative(prefsPath + ".tmp");

    Status error;
    auto source = m_files.OpenForReading(target, &error);
    Check(error, "File not found");
    auto copy = m_files.CreateForWriting(temporary, &error);
    Check(error, "Path not found");

    std::string line;
    while (!source->AtEndOfStream()) {
        Check(source->ReadLine(&line), "Input past end of file");
        Check(copy->WriteLine(line), "Device I/O error");
        m_pump.PumpOnce();
    }
    for (std::string_view pref : BoostPrefLines) Check(copy->WriteLine(std::string(pref)), "Device I/O error");
    source.reset();
    Check(copy->Commit(), "Device I/O error");
    // The only moment prefs.js changes: the complete copy takes its place.
    Check(m_files.ReplaceFile(temporary, target), "Permission denied");
}

void PrefPatcher::CopyStockOver(const std::string& stockFile, const std::string& prefsPath) {
    const std::string target = m_paths.ToNative(prefsPath);
    const std::string temporary = m_paths.ToNative(prefsPath + ".tmp");
    const std::string saved = m_paths.ToNative(prefsPath + kBeforeRestoreSuffix);
    const std::string savedTemporary = m_paths.ToNative(prefsPath + kBeforeRestoreSuffix + ".tmp");

    // A missing stock file stops here, before anything of the profile is touched.
    Check(m_files.CopyFile(stockFile, temporary), "File not found");
    // The user's own preferences are kept beside the stock ones, not thrown away.
    if (m_files.FileExists(target)) {
        Check(m_files.CopyFile(target, savedTemporary), "Permission denied");
        Check(m_files.ReplaceFile(savedTemporary, saved), "Permission denied");
    }
    Check(m_files.ReplaceFile(temporary, target), "Permission denied");
}

}  // namespace brisko
