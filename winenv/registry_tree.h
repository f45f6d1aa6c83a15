// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The registry in memory: root keys, keys and typed values, names compared without
// regard to case (the first spelling seen is kept), value data as raw bytes the way
// Windows keeps them (strings as UTF-16LE with their terminating zero).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brisko {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
inline constexpr RegRoot kAllRegRoots[] = {RegRoot::ClassesRoot, RegRoot::CurrentUser,
                                           RegRoot::LocalMachine, RegRoot::Users,
                                           RegRoot::CurrentConfig};

const char* RootName(RegRoot root);  // "HKEY_LOCAL_MACHINE", ...
// Long or short form ("HKLM"), any case.
bool RootFromName(std::string_view name, RegRoot* root);
bool RootFromHandle(std::uint32_t handle, RegRoot* root);

// Upper-cases a name (UTF-8) for comparisons that ignore case.
std::string FoldName(std::string_view name);

// "a\b\c" -> {"a","b","c"}; "" -> {}. An empty component ("a\\b", "\a") is invalid.
bool SplitKeyPath(std::string_view path, std::vector<std::string>* parts);

struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;

    bool operator==(const RegValue&) const = default;
};

// A REG_SZ value holding text (ANSI/UTF-8 in, UTF-16LE with terminating zero stored).
RegValue MakeStringValue(std::string_view text);
RegValue MakeDwordValue(std::uint32_t number);

struct NamedValue {
    std::string name;  // empty: the key's default value
    RegValue value;
};

class RegKey {
public:
    explicit RegKey(std::string name = {});
    ~RegKey();
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    const std::string& Name() const { return m_name; }

    RegKey* Subkey(std::string_view name);
    const RegKey* Subkey(std::string_view name) const;
    // Returns the existing subkey (keeping its spelling) or a new one.
    RegKey& AddSubkey(std::string_view name);
    bool RemoveSubkey(std::string_view name);
    // In the order regedit lists them: by name, ignoring case.
    std::vector<const RegKey*> Subkeys() const;

    const RegValue* Value(std::string_view name) const;
    // Replaces the data of an existing value but keeps its spelling and place.
    void SetValue(std::string_view name, RegValue value);
    bool RemoveValue(std::string_view name);
    const std::vector<NamedValue>& Values() const { return m_values; }

    RegKey* Find(const std::vector<std::string>& path);
    const RegKey* Find(const std::vector<std::string>& path) const;
    RegKey& Create(const std::vector<std::string>& path);
    // Removes the key at path with everything below it; false when it is not there.
    bool Remove(const std::vector<std::string>& path);

private:
    std::string m_name;
    std::map<std::string, std::unique_ptr<RegKey>> m_subkeys;  // by folded name
    // Position of the value, or npos.
    std::size_t FindValue(std::string_view name) const;
    void IndexValues();

    std::vector<NamedValue> m_values;
    // Folded name -> position, only once a key holds many values: most keys hold a
    // few, and an index for each would cost more than the values themselves.
    std::unique_ptr<std::unordered_map<std::string, std::size_t>> m_valueIndex;
};

}  // namespace brisko
