#pragma once
// A fresh folder under the system's temporary folder, removed with all it holds,
// and an environment variable set for the lifetime of a scope.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace brisko::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
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
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Whole files as bytes: one that cannot be read reads as empty; writing creates its folders.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Every folder and file below root by relative path, with its bytes ("<folder>" for folders).
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root);

}  // namespace brisko::test
