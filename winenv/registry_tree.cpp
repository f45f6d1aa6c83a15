// SPDX-License-Identifier: GPL-3.0-or-later
#include "winenv/registry_tree.h"

#include <algorithm>

#include "winenv/ansi_text.h"
#include "platform/registry_read.h"

namespace brisko {
namespace {

struct RootInfo {
    RegRoot root;
    const char* longName;
    const char* shortName;
    std::uint32_t handle;
};

constexpr RootInfo kRoots[] = {
    {RegRoot::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR", kHkeyClassesRoot},
    {RegRoot::CurrentUser, "HKEY_CURRENT_USER", "HKCU", kHkeyCurrentUser},
    {RegRoot::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM", kHkeyLocalMachine},
    {RegRoot::Users, "HKEY_USERS", "HKU", kHkeyUsers},
    {RegRoot::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC", kHkeyCurrentConfig},
};

// From this many values on a key keeps an index of their names.
constexpr std::size_t kIndexFrom = 16;

// Simple upper-case mapping for the scripts a key name is likely to use.
char32_t FoldCodePoint(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c < 0x80) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~char32_t{1};
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c % 2 == 0)) return c - 1;
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    return c;
}

}  // namespace

const char* RootName(RegRoot root) {
    for (const RootInfo& info : kRoots) {
        if (info.root == root) return info.longName;
    }
    return "";
}

bool RootFromName(std::string_view name, RegRoot* root) {
    const std::string folded = FoldName(name);
    for (const RootInfo& info : kRoots) {
        if (folded == info.longName || folded == info.shortName) {
            *root = info.root;
            return true;
        }
    }
    return false;
}

bool RootFromHandle(std::uint32_t handle, RegRoot* root) {
    for (const RootInfo& info : kRoots) {
        if (info.handle == handle) {
            *root = info.root;
            return true;
        }
    }
    return false;
}

std::string FoldName(std::string_view name) {
    bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
        std::string out(name);
        for (char& c : out) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
        }
        return out;
    }
    std::u16string wide = AnsiToUtf16(name);
    for (char16_t& c : wide) {
        if (c < 0xD800 || c > 0xDFFF) c = static_cast<char16_t>(FoldCodePoint(c));
    }
    return Utf16ToAnsi(wide);
}

bool SplitKeyPath(std::string_view path, std::vector<std::string>* parts) {
    parts->clear();
    if (path.empty()) return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty()) return false;
        parts->emplace_back(part);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

RegValue MakeStringValue(std::string_view text) {
    std::u16string wide = AnsiToUtf16(text);
    wide.push_back(u'\0');
    return {1, Utf16ToBytes(wide)};
}

RegValue MakeDwordValue(std::uint32_t number) {
    return {4,
            {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
             static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
}

RegKey::RegKey(std::string name) : m_name(std::move(name)) {}

RegKey::~RegKey() {
    // Taken apart through a list of our own, as destroying a deep tree by recursion
    // could exhaust the stack. Moving map nodes allocates nothing, which matters when
    // the tree goes because memory ran out.
    std::multimap<std::string, std::unique_ptr<RegKey>> pending;
    const auto detach = [&pending](RegKey& key) {
        while (!key.m_subkeys.empty()) pending.insert(key.m_subkeys.extract(key.m_subkeys.begin()));
    };
    detach(*this);
    while (!pending.empty()) {
        auto node = pending.extract(pending.begin());
        detach(*node.mapped());
    }
}

RegKey* RegKey::Subkey(std::string_view name) {
    auto it = m_subkeys.find(FoldName(name));
    return it == m_subkeys.end() ? nullptr : it->second.get();
}

const RegKey* RegKey::Subkey(std::string_view name) const {
    auto it = m_subkeys.find(FoldName(name));
    return it == m_subkeys.end() ? nullptr : it->second.get();
}

RegKey& RegKey::AddSubkey(std::string_view name) {
    std::string folded = FoldName(name);
    if (auto it = m_subkeys.find(folded); it != m_subkeys.end()) return *it->second;
    // Made before it goes in: running out of memory half way must not leave an empty slot.
    auto key = std::make_unique<RegKey>(std::string(name));
    return *m_subkeys.emplace(std::move(folded), std::move(key)).first->second;
}

bool RegKey::RemoveSubkey(std::string_view name) { return m_subkeys.erase(FoldName(name)) > 0; }

std::vector<const RegKey*> RegKey::Subkeys() const {
    std::vector<const RegKey*> out;
    out.reserve(m_subkeys.size());
    for (const auto& [folded, key] : m_subkeys) out.push_back(key.get());
    return out;
}

std::size_t RegKey::FindValue(std::string_view name) const {
    if (m_valueIndex) {
        auto it = m_valueIndex->find(FoldName(name));
        return it == m_valueIndex->end() ? std::string_view::npos : it->second;
    }
    const auto ascii = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
    };
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; };
    const bool asciiName = ascii(name);
    std::string folded;
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const std::string& other = m_values[i].name;
        if (asciiName && ascii(other)) {
            if (other.size() == name.size() &&
                std::equal(other.begin(), other.end(), name.begin(), [&](char a, char b) { return upper(a) == upper(b); }))
                return i;
            continue;
        }
        if (folded.empty()) folded = FoldName(name);
        if (FoldName(other) == folded) return i;
    }
    return std::string_view::npos;
}

void RegKey::IndexValues() {
    if (m_values.size() < kIndexFrom) {
        m_valueIndex.reset();
        return;
    }
    if (!m_valueIndex) m_valueIndex = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    m_valueIndex->clear();
    for (std::size_t i = 0; i < m_values.size(); ++i) m_valueIndex->emplace(FoldName(m_values[i].name), i);
}

const RegValue* RegKey::Value(std::string_view name) const {
    const std::size_t position = FindValue(name);
    return position == std::string_view::npos ? nullptr : &m_values[position].value;
}

void RegKey::SetValue(std::string_view name, RegValue value) {
    const std::size_t position = FindValue(name);
    if (position != std::string_view::npos) {
        m_values[position].value = std::move(value);
        return;
    }
    m_values.push_back({std::string(name), std::move(value)});
    if (m_valueIndex) {
        m_valueIndex->emplace(FoldName(name), m_values.size() - 1);
    } else if (m_values.size() == kIndexFrom) {
        IndexValues();
    }
}

bool RegKey::RemoveValue(std::string_view name) {
    const std::size_t position = FindValue(name);
    if (position == std::string_view::npos) return false;
    m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(position));
    if (m_valueIndex) {
        if (m_values.size() < kIndexFrom) {
            m_valueIndex.reset();
        } else {
            m_valueIndex->erase(FoldName(name));
            for (auto& [folded, index] : *m_valueIndex) {
                if (index > position) --index;
            }
        }
    }
    return true;
}

RegKey* RegKey::Find(const std::vector<std::string>& path) {
    RegKey* key = this;
    for (const std::string& part : path) {
        key = key->Subkey(part);
        if (!key) return nullptr;
    }
    return key;
}

const RegKey* RegKey::Find(const std::vector<std::string>& path) const {
    return const_cast<RegKey*>(this)->Find(path);
}

RegKey& RegKey::Create(const std::vector<std::string>& path) {
    RegKey* key = this;
    for (const std::string& part : path) key = &key->AddSubkey(part);
    return *key;
}

bool RegKey::Remove(const std::vector<std::string>& path) {
    if (path.empty()) return false;
    RegKey* parent = Find(std::vector<std::string>(path.begin(), path.end() - 1));
    return parent && parent->RemoveSubkey(path.back());
}

}  // namespace brisko
