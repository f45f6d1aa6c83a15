// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/paths_posix.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "winenv/winenv.h"

namespace brisko {

namespace fs = std::filesystem;

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

bool HasDriveLetter(std::string_view path) { return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':'; }

std::string JoinNative(const std::string& folder, std::string_view name) {
    std::string joined = folder;
    if (joined.empty() || joined.back() != '/') joined += '/';
    joined += name;
    return joined;
}

// Splits at any of the separators, dropping empty pieces so repeated separators collapse.
std::vector<std::string> SplitComponents(std::string_view path, std::string_view separators) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t stop = path.find_first_of(separators, start);
        if (stop == std::string_view::npos) stop = path.size();
        if (stop > start) parts.emplace_back(path.substr(start, stop - start));
        start = stop + 1;
    }
    return parts;
}

// The name inside folder that stands for `name` as Windows would find it: the exact
// name when it exists, else the first case-insensitive match in byte order (so the
// answer does not depend on directory listing order). Empty when nothing matches.
std::string FindOnDisk(const std::string& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(JoinNative(folder, name), ec))) return name;
    std::string best;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (EqualIgnoringCase(candidate, name) && (best.empty() || candidate < best)) best = std::move(candidate);
    }
    return best;
}

struct Resolved {
    std::string folder;                // native path of the deepest component
    std::vector<std::string> names;    // components as found on disk, or as written
};

// Walks components below base, spelling each as it exists on disk. "." is dropped
// and ".." goes up one level, but never above base.
Resolved ResolveBelow(const std::string& base, const std::vector<std::string>& components) {
    std::vector<std::string> names;
    std::vector<bool> existed;
    for (const std::string& component : components) {
        if (component == ".") continue;
        if (component == "..") {
            if (!names.empty()) {
                names.pop_back();
                existed.pop_back();
            }
            continue;
        }
        std::string folder = base;
        for (const std::string& n : names) folder = JoinNative(folder, n);
        const bool parentExists = existed.empty() || existed.back();
        std::string found = parentExists ? FindOnDisk(folder, component) : std::string();
        existed.push_back(!found.empty());
        names.push_back(found.empty() ? component : std::move(found));
    }
    Resolved result{base, names};
    for (const std::string& n : names) result.folder = JoinNative(result.folder, n);
    return result;
}

}  // namespace

PathMapperPosix::PathMapperPosix(std::string systemRoot, std::string programFolder)
    : m_systemRoot(std::move(systemRoot)), m_programFolder(std::move(programFolder)) {
    if (!m_systemRoot.empty()) m_systemRoot = fs::path(m_systemRoot).lexically_normal().string();
    while (m_systemRoot.size() > 1 && m_systemRoot.back() == '/') m_systemRoot.pop_back();
}

std::string PathMapperPosix::DriveFolder(char driveLetter) const {
    return brisko::DriveFolder(m_systemRoot, driveLetter);
}

std::string PathMapperPosix::ToNative(const std::string& windowsPath) const {
    if (!HasDriveLetter(windowsPath)) {
        std::string native = windowsPath;
        for (char& c : native)
            if (c == '\\') c = '/';
        return native;
    }
    const std::string_view rest = std::string_view(windowsPath).substr(2);
    const Resolved resolved = ResolveBelow(DriveFolder(windowsPath[0]), SplitComponents(rest, "\\/"));
    std::string native = resolved.folder;
    const bool trailing = !rest.empty() && (rest.back() == '\\' || rest.back() == '/');
    if (trailing && native.back() != '/') native += '/';
    return native;
}

std::string PathMapperPosix::ToWindows(const std::string& nativePath) const {
    const std::string prefix = JoinNative(m_systemRoot, kDriveFolderPrefix);
    const std::string normal = fs::path(nativePath).lexically_normal().string();
    if (normal.compare(0, prefix.size(), prefix) != 0) return nativePath;
    const std::string_view after = std::string_view(normal).substr(prefix.size());
    if (after.empty() || !IsAsciiLetter(after[0]) || after[0] != AsciiLower(after[0])) return nativePath;
    if (after.size() > 1 && after[1] != '/') return nativePath;

    const std::string_view rest = after.substr(1);
    const Resolved resolved = ResolveBelow(DriveFolder(after[0]), SplitComponents(rest, "/"));
    std::string windows = std::string(1, AsciiUpper(after[0])) + ":\\";
    for (std::size_t i = 0; i < resolved.names.size(); ++i) {
        if (i > 0) windows += '\\';
        windows += resolved.names[i];
    }
    if (!resolved.names.empty() && !rest.empty() && rest.back() == '/') windows += '\\';
    return windows;
}

std::string RunningProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) return exe.parent_path().string();
    const fs::path current = fs::current_path(ec);
    return ec ? std::string(".") : current.string();
}

}  // namespace brisko
