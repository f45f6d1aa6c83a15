// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fresh folder under the system's temporary folder, removed with all it holds,
// and an environment variable set for the lifetime of a scope.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

namespace brisko::test {

class TempFolder {
public:
    TempFolder() {
        // mkdtemp is POSIX only: a random name that create_directory made is just as private.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto name = "brisko-test-" + std::to_string(random());
            const auto folder = std::filesystem::temp_directory_path() / name;
            if (std::filesystem::create_directory(folder)) m_path = folder.string();
        }
        if (m_path.empty()) throw std::runtime_error("no temporary folder could be made");
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }
    std::filesystem::path Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
        if (const char* old = std::getenv(m_name.c_str())) m_old = old;
        Set(m_name, value);
    }
    ~ScopedEnv() { Set(m_name, m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    // setenv and unsetenv are POSIX; Windows has _putenv_s, where an empty value unsets.
    static void Set(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
        ::_putenv_s(name.c_str(), value ? value->c_str() : "");
#else
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
#endif
    }

    std::string m_name;
    std::optional<std::string> m_old;
};

// Whole files as bytes: one that cannot be read reads as empty; writing creates its folders.
inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

// Every folder and file below root by relative path, with its bytes ("<folder>" for folders).
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        files[std::filesystem::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<folder>" : ReadFileBytes(entry.path().string());
    return files;
}

}  // namespace brisko::test
